namespace BasicGame;

// An axis-aligned rectangle in world units.
public readonly record struct Box(float X, float Y, float Width, float Height)
{
    public float Right => X + Width;
    public float Bottom => Y + Height;

    // Touching edges do not count as overlapping.
    public bool Overlaps(Box other) =>
        X < other.Right && other.X < Right && Y < other.Bottom && other.Y < Bottom;
}
