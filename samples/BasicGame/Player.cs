using Orvane;

namespace BasicGame;

public sealed class Player
{
    public const float Size = 28;
    public const float Speed = 220; // world units per second

    private const string Sheet = "assets/player-sheet.png";
    private const float FrameSize = 32;     // texels per frame in the sheet
    private const float FramesPerSecond = 8;
    private static readonly Color BodyColor = new(60, 120, 230);

    private float walkTime;
    private bool moving;
    private bool facingLeft;

    public float X { get; private set; }
    public float Y { get; private set; }
    public Box Bounds => new(X, Y, Size, Size);

    public Player(float x, float y)
    {
        X = x;
        Y = y;
    }

    // Reads the keys and moves, one axis at a time, so the player slides along walls
    // instead of sticking to them.
    public void Update(float dt, IReadOnlyList<Box> walls)
    {
        float dx = Axis(Key.Left, Key.A, Key.Right, Key.D);
        float dy = Axis(Key.Up, Key.W, Key.Down, Key.S);
        if (dx != 0 && dy != 0)
        {
            // Diagonal movement is no faster than straight movement.
            dx *= 0.7071f;
            dy *= 0.7071f;
        }
        moving = dx != 0 || dy != 0;
        walkTime = moving ? walkTime + dt : 0;
        if (dx != 0)
        {
            facingLeft = dx < 0;
        }

        X += dx * Speed * dt;
        foreach (Box wall in walls)
        {
            if (Bounds.Overlaps(wall))
            {
                X = dx > 0 ? wall.X - Size : wall.Right;
            }
        }

        Y += dy * Speed * dt;
        foreach (Box wall in walls)
        {
            if (Bounds.Overlaps(wall))
            {
                Y = dy > 0 ? wall.Y - Size : wall.Bottom;
            }
        }
    }

    // Walking plays the sheet's four frames, mirrored when facing left. An older
    // runtime cannot draw a part of an image, so it gets the single still sprite.
    public void Draw()
    {
        if (!Orvane.Draw.AdvancedDrawing)
        {
            Orvane.Draw.Sprite("assets/player.png", X, Y, Size, Size, BodyColor);
            return;
        }
        int frame = moving ? (int)(walkTime * FramesPerSecond) % 4 : 0;
        Orvane.Draw.Sprite(Sheet, X, Y, Size, Size,
            SpriteOptions.Frame(frame, 0, FrameSize, FrameSize) with { FlipX = facingLeft, Fallback = BodyColor });
    }

    private static float Axis(Key negative, Key negativeAlt, Key positive, Key positiveAlt)
    {
        float value = 0;
        if (Input.IsKeyDown(negative) || Input.IsKeyDown(negativeAlt)) value -= 1;
        if (Input.IsKeyDown(positive) || Input.IsKeyDown(positiveAlt)) value += 1;
        return value;
    }
}
