using Orvane;

namespace OrvaneGame;

// The one scene: a hero (assets/hero.png) that the arrow keys move around the window,
// and a gold square to catch. Each catch moves the square and counts one point.
public sealed class MainScene : Scene
{
    private const float HeroSize = 48;
    private const float Speed = 240; // pixels per second
    private const float CoinSize = 20;

    private static readonly Color Background = new(24, 28, 40);
    private static readonly Color Ground = new(40, 48, 66);
    private static readonly Color CoinColor = new(250, 200, 40);
    // Drawn in place of the sprite if assets/hero.png cannot be loaded.
    private static readonly Color HeroFallback = new(230, 80, 160);

    private readonly Random random = new(1);
    private float heroX;
    private float heroY;
    private float coinX;
    private float coinY;
    private int score;

    protected override void OnEnter()
    {
        heroX = (GameMain.Width - HeroSize) / 2;
        heroY = (GameMain.Height - HeroSize) / 2;
        coinX = 80;
        coinY = 80;
        score = 0;
    }

    // Called once per frame with the time since the last one, in seconds.
    protected override void OnUpdate(float dt)
    {
        float dx = Axis(Key.Left, Key.A, Key.Right, Key.D);
        float dy = Axis(Key.Up, Key.W, Key.Down, Key.S);
        heroX = Math.Clamp(heroX + dx * Speed * dt, 0, GameMain.Width - HeroSize);
        heroY = Math.Clamp(heroY + dy * Speed * dt, 0, GameMain.Height - HeroSize);

        if (Overlaps(heroX, heroY, HeroSize, coinX, coinY, CoinSize))
        {
            score++;
            Log.Info($"Score: {score}");
            coinX = random.Next(0, (int)(GameMain.Width - CoinSize));
            coinY = random.Next(0, (int)(GameMain.Height - CoinSize));
        }

        // Painted back to front: background, ground strip, coin, hero.
        Draw.Rect(0, 0, GameMain.Width, GameMain.Height, Background);
        Draw.Rect(0, GameMain.Height - 40, GameMain.Width, 40, Ground);
        Draw.Rect(coinX, coinY, CoinSize, CoinSize, CoinColor);
        Draw.Sprite("assets/hero.png", heroX, heroY, HeroSize, HeroSize, HeroFallback);
    }

    // -1, 0 or 1 from two pairs of keys.
    private static float Axis(Key negative, Key negativeAlt, Key positive, Key positiveAlt)
    {
        float value = 0;
        if (Input.IsKeyDown(negative) || Input.IsKeyDown(negativeAlt)) value -= 1;
        if (Input.IsKeyDown(positive) || Input.IsKeyDown(positiveAlt)) value += 1;
        return value;
    }

    private static bool Overlaps(float ax, float ay, float aSize, float bx, float by, float bSize) =>
        ax < bx + bSize && bx < ax + aSize && ay < by + bSize && by < ay + aSize;
}
