using Orvane;

namespace OrvaneGame;

// The game's main class, named by "mainClass" in project.json. The runtime starts it,
// then enters the scene named by "startScene".
public sealed class GameMain : Game
{
    public const float Width = 640;
    public const float Height = 360;

    protected override void OnStart(string scene)
    {
        AddScene("Main", new MainScene());
        Log.Info("Move with the arrow keys or WASD and catch the gold squares.");
    }
}
