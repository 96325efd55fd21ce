using Orvane.Hosting;

namespace Orvane;

/// <summary>
/// Base class of a game's main class (named by "mainClass" in project.json). The host
/// creates it once with its parameterless constructor and calls the hooks below
/// (override them as <c>protected override</c>); all of them run on one thread, one at a time.
/// </summary>
public abstract class Game
{
    private readonly Dictionary<string, Scene> scenes = new(StringComparer.Ordinal);
    private readonly List<string> sceneOrder = new();
    private Scene? activeScene;
    private string? pendingScene;
    private bool dispatching;

    /// <summary>The project folder (also the current directory).</summary>
    public string ProjectFolder { get; internal set; } = "";

    /// <summary>The active scene, or null.</summary>
    public Scene? CurrentScene => activeScene;

    /// <summary>The registered scene names, in registration order.</summary>
    public IReadOnlyList<string> SceneNames => sceneOrder;

    /// <summary>
    /// Called once before the first frame with the project's start scene name (possibly
    /// empty). Register scenes here. Unless a scene was loaded here, the named scene is
    /// loaded afterwards, or the first registered one when the name is empty or unknown.
    /// </summary>
    protected virtual void OnStart(string scene) { }

    /// <summary>Called once per frame, before the active scene's update. dt is in seconds.</summary>
    protected virtual void OnUpdate(float dt) { }

    /// <summary>Entity <paramref name="entityId"/> started to touch <paramref name="otherId"/>.</summary>
    protected virtual void OnCollision(int entityId, int otherId) { }

    /// <summary>Called once when the runtime closes a started game, after the active scene's exit.</summary>
    protected virtual void OnShutdown() { }

    /// <summary>
    /// The window gained (<paramref name="focused"/> true) or lost the keyboard focus;
    /// called at the start of the next frame, before the update. Every held key has
    /// been released by then. A game might pause here.
    /// </summary>
    protected virtual void OnFocusChanged(bool focused) { }

    /// <summary>
    /// Called when the runtime reloads the game (a changed assembly, or a restart from
    /// the error screen): return what the new instance needs to carry on, as text, or
    /// null (the default) to have it start afresh. Runs between frames.
    /// </summary>
    protected virtual string? SaveState() => null;

    /// <summary>
    /// Called on the new instance after a reload with what <see cref="SaveState"/>
    /// returned, once, after <see cref="OnStart"/> (and its scene's enter) and before the
    /// first update; as in the start hook, <see cref="LoadScene"/> here switches at once.
    /// Not called when the old instance kept no state.
    /// </summary>
    protected virtual void RestoreState(string state) { }

    /// <summary>
    /// Ends the run as if the user had closed the window: the runtime shuts the game
    /// down after this frame. An older runtime (protocol version 1) cannot be asked to,
    /// there this logs one warning and the game goes on.
    /// </summary>
    public void Quit() => HostContext.Output.Quit();

    /// <summary>Registers a scene under a name.</summary>
    /// <exception cref="ArgumentException">The name is taken or the scene belongs to another game.</exception>
    public void AddScene(string name, Scene scene)
    {
        ArgumentNullException.ThrowIfNull(name);
        ArgumentNullException.ThrowIfNull(scene);
        if (scenes.ContainsKey(name))
        {
            throw new ArgumentException($"A scene named \"{name}\" is already registered.", nameof(name));
        }
        scenes.Add(name, scene);
        sceneOrder.Add(name);
        scene.Attach(this, name);
    }

    /// <summary>
    /// Makes the named scene active. Called during an update or a collision, the switch
    /// happens when that hook has finished. Returns false (and logs a warning) for an unknown name.
    /// </summary>
    public bool LoadScene(string name)
    {
        if (!scenes.ContainsKey(name))
        {
            Log.Warn($"Scene \"{name}\" is not registered.");
            return false;
        }
        if (dispatching)
        {
            pendingScene = name;
        }
        else
        {
            SwitchTo(name);
        }
        return true;
    }

    internal void RunStart(string startScene)
    {
        OnStart(startScene);
        if (activeScene != null || sceneOrder.Count == 0)
        {
            return;
        }
        if (scenes.ContainsKey(startScene))
        {
            SwitchTo(startScene);
            return;
        }
        if (startScene.Length > 0)
        {
            Log.Warn($"Start scene \"{startScene}\" is not registered; starting \"{sceneOrder[0]}\".");
        }
        SwitchTo(sceneOrder[0]);
    }

    internal string? RunSaveState() => SaveState();

    // Like the start hook, outside a frame: a scene loaded here is active at once.
    internal void RunRestoreState(string state) => RestoreState(state);

    internal void RunFocusChanged(bool focused) => Dispatch(static (game, focused) => game.OnFocusChanged(focused), focused);

    internal void RunUpdate(float dt) => Dispatch(static (game, dt) =>
    {
        game.OnUpdate(dt);
        game.activeScene?.RunUpdate(dt);
    }, dt);

    internal void RunCollision(int entityId, int otherId) => Dispatch(static (game, pair) =>
    {
        game.OnCollision(pair.EntityId, pair.OtherId);
        game.activeScene?.RunCollision(pair.EntityId, pair.OtherId);
    }, (EntityId: entityId, OtherId: otherId));

    internal void RunShutdown()
    {
        try
        {
            activeScene?.RunExit();
        }
        finally
        {
            activeScene = null;
            OnShutdown();
        }
    }

    // Runs the game's and the scene's hook with scene switches held back, so both
    // halves of one event reach the same scene. The hooks are a static lambda and its
    // state, so that a frame allocates no closure.
    private void Dispatch<TState>(Action<Game, TState> hooks, TState state)
    {
        dispatching = true;
        try
        {
            hooks(this, state);
        }
        finally
        {
            dispatching = false;
        }
        if (pendingScene != null)
        {
            string next = pendingScene;
            pendingScene = null;
            SwitchTo(next);
        }
    }

    private void SwitchTo(string name)
    {
        Scene next = scenes[name];
        Scene? previous = activeScene;
        activeScene = null;
        previous?.RunExit();
        activeScene = next;
        next.RunEnter();
    }
}
