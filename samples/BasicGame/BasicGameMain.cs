using Orvane;

namespace BasicGame;

// The game's main class, named by "mainClass" in project.json. It registers the levels;
// the runtime then starts the scene named by "startScene".
public sealed class BasicGameMain : Game
{
    public const float ViewWidth = 960;
    public const float ViewHeight = 540;

    protected override void OnStart(string scene)
    {
        AddScene("Level1", new LevelScene(Levels.Level1, title: "Level 1 · The Halls", nextScene: "Level2"));
        AddScene("Level2", new LevelScene(Levels.Level2, title: "Level 2 · The Vault", nextScene: "Level1"));
        Log.Info("Move with the arrow keys or WASD. F1 or Tab shows the colliders, Z zooms in and out.");
        // Quiet background music (assets/make-assets.py synthesises it), faded in.
        Audio.PlayMusic("assets/music.ogg", loop: true, volume: 0.35f, fadeIn: 1.5f);
    }

    // Runs every frame before the active level's update.
    protected override void OnUpdate(float dt)
    {
        if (Input.WasKeyPressed(Key.F1) || Input.WasKeyPressed(Key.Tab))
        {
            Physics.ShowColliders = !Physics.ShowColliders;
        }
        // An older runtime cannot zoom; there the view stays as it is.
        if (Input.WasKeyPressed(Key.Z) && Draw.AdvancedDrawing)
        {
            Camera.Zoom = Camera.Zoom == 1 ? 1.5f : 1;
        }
    }
}
