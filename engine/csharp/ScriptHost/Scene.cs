namespace Orvane;

/// <summary>
/// One part of a game (a level, a menu). Register scenes with
/// <see cref="Game.AddScene"/> and switch with <see cref="Game.LoadScene"/>; only the
/// active scene receives updates and collisions. Override the hooks as
/// <c>protected override</c>.
/// </summary>
public abstract class Scene
{
    private Game? game;

    /// <summary>The game this scene was added to.</summary>
    public Game Game => game ?? throw new InvalidOperationException("The scene has not been added to a game.");

    /// <summary>The name the scene was registered under.</summary>
    public string Name { get; private set; } = "";

    /// <summary>Called each time the scene becomes active; reset the scene's state here.</summary>
    protected virtual void OnEnter() { }

    /// <summary>Called once per frame while the scene is active, after <see cref="Game.OnUpdate"/>.</summary>
    protected virtual void OnUpdate(float dt) { }

    /// <summary>Entity <paramref name="entityId"/> started to touch <paramref name="otherId"/>.</summary>
    protected virtual void OnCollision(int entityId, int otherId) { }

    /// <summary>Called when another scene takes over or the game shuts down.</summary>
    protected virtual void OnExit() { }

    internal void RunEnter() => OnEnter();

    internal void RunUpdate(float dt) => OnUpdate(dt);

    internal void RunCollision(int entityId, int otherId) => OnCollision(entityId, otherId);

    internal void RunExit() => OnExit();

    internal void Attach(Game owner, string name)
    {
        game = owner;
        Name = name;
    }
}
