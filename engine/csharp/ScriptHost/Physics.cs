using Orvane.Hosting;

namespace Orvane;

/// <summary>
/// Collision boxes. Report every box of every entity in every frame; when two boxes of
/// different entities start to overlap, both entities get
/// <see cref="Game.OnCollision"/> (and the active scene's
/// <see cref="Scene.OnCollision"/>) before the next update, once each way.
/// Collisions are only reported, never resolved: blocking movement is up to the game.
/// </summary>
public static class Physics
{
    /// <summary>When true, every collider is also drawn as a debug outline.</summary>
    public static bool ShowColliders { get; set; }

    /// <summary>Colour of the outlines drawn when <see cref="ShowColliders"/> is on.</summary>
    public static Color ColliderColor { get; set; } = Color.Lime;

    /// <summary>Reports one box of entity <paramref name="id"/> for this frame.</summary>
    public static void Collider(int id, float x, float y, float width, float height)
    {
        HostContext.Output.Collider(id, x, y, width, height);
        if (ShowColliders)
        {
            HostContext.Output.DebugRect(x, y, width, height, ColliderColor);
        }
    }

    internal static void Reset()
    {
        ShowColliders = false;
        ColliderColor = Color.Lime;
    }
}
