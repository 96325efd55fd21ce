using System.Globalization;
using Orvane;

namespace BasicGame;

// The game's main class, named by "mainClass" in project.json. It registers the levels;
// the runtime then starts the scene named by "startScene".
public sealed class BasicGameMain : Game
{
    // The window size of project.json, for as long as the runtime has not told the real one.
    public const float FallbackViewWidth = 960;
    public const float FallbackViewHeight = 540;

    public static float ViewWidth => Screen.Width > 0 ? Screen.Width : FallbackViewWidth;
    public static float ViewHeight => Screen.Height > 0 ? Screen.Height : FallbackViewHeight;

    protected override void OnStart(string scene)
    {
        AddScene("Level1", new LevelScene(Levels.Level1, title: "Level 1 · The Halls", nextScene: "Level2"));
        AddScene("Level2", new LevelScene(Levels.Level2, title: "Level 2 · The Vault", nextScene: "Level1"));
        Log.Info("Move with the arrow keys or WASD, click a gem to mark it. F1 or Tab shows the colliders, Z zooms in and out, Escape quits.");
        // Quiet background music (assets/make-assets.py synthesises it), faded in.
        Audio.PlayMusic("assets/music.ogg", loop: true, volume: 0.35f, fadeIn: 1.5f);
    }

    // Runs every frame before the active level's update.
    protected override void OnUpdate(float dt)
    {
        if (Input.WasKeyPressed(Key.Escape))
        {
            Quit();
        }
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

    // A reload (the assembly rebuilt while running with --watch) keeps the level, the
    // player's position and the gems collected: "Level1|x|y|100,103".
    protected override string? SaveState() =>
        CurrentScene is LevelScene level ? level.Name + "|" + level.SaveState() : null;

    protected override void RestoreState(string state)
    {
        string[] parts = state.Split('|', 2);
        if (parts.Length != 2 || !SceneNames.Contains(parts[0]))
        {
            return;
        }
        // The start scene is already entered; entering it again would only repeat its log line.
        if (CurrentScene?.Name != parts[0])
        {
            LoadScene(parts[0]);
        }
        if (CurrentScene is LevelScene level)
        {
            level.RestoreState(parts[1]);
        }
    }

    internal static string Format(float value) => value.ToString(CultureInfo.InvariantCulture);
}
