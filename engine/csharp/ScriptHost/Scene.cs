namespace Orvane;

/// <summary>
/// One part of a game (a level, a menu). Register scenes with
/// <see cref="Game.AddScene"/> and switch with <see cref="Game.LoadScene"/>; only the
/// active scene receives updates and collisions.
/// </summary>
public abstract class Scene
{
    private Game? game;

    /// <summary>The game this scene was added to.</summary>
    public Game Game => game ?? throw new InvalidOperationException("The scene has not been added to a game.");

    /// <summary>The name the scene was registered under.</summary>
    public string Name { get; private set; } = "";

    /// <summary>Called each time the scene becomes active; reset the scene's state here.</summary>
    public virtual void OnEnter() { }

    /// <summary>Called once per frame while the scene is active, after <see cref="Game.OnUpdate"/>.</summary>
    public virtual void OnUpdate(float dt) { }

    /// <summary>Entity <paramref name="entityId"/> started to touch <paramref name="otherId"/>.</summary>
    public virtual void OnCollision(int entityId, int otherId) { }

    /// <summary>Called when another scene takes over or the game shuts down.</summary>
    public virtual void OnExit() { }

    internal void Attach(Game owner, string name)
    {
        game = owner;
        Name = name;
    }
}
