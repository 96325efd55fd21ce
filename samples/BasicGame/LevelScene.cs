using Orvane;

namespace BasicGame;

// One level, built from a text map: '#' wall, 'o' gem, 'P' player start, anything
// else floor. Collect every gem to go on to the next level.
public sealed class LevelScene : Scene
{
    private const float Tile = 32;
    private const int PlayerId = 1;
    private const int FirstGemId = 100;
    private const int FirstWallId = 1000;

    private static readonly Color FloorColor = new(40, 44, 56);
    private static readonly Color WallColor = new(150, 80, 60);
    private static readonly Color GemColor = new(250, 200, 40);

    private readonly string[] map;
    private readonly string nextScene;
    private readonly List<Box> walls = new();
    private readonly Dictionary<int, Box> gems = new();
    private Player player = new(0, 0);
    private int gemCount;
    private float worldWidth;
    private float worldHeight;

    public LevelScene(string[] map, string nextScene)
    {
        this.map = map;
        this.nextScene = nextScene;
    }

    // Entering (again) starts the level afresh.
    public override void OnEnter()
    {
        walls.Clear();
        gems.Clear();
        worldHeight = map.Length * Tile;
        worldWidth = map.Max(row => row.Length) * Tile;

        for (int row = 0; row < map.Length; row++)
        {
            string line = map[row];
            for (int column = 0; column < line.Length; column++)
            {
                float x = column * Tile;
                float y = row * Tile;
                switch (line[column])
                {
                    case '#':
                        // One box per horizontal run of wall tiles keeps the collider count low.
                        int runEnd = column;
                        while (runEnd + 1 < line.Length && line[runEnd + 1] == '#') runEnd++;
                        walls.Add(new Box(x, y, (runEnd - column + 1) * Tile, Tile));
                        column = runEnd;
                        break;
                    case 'o':
                        gems.Add(FirstGemId + gems.Count, new Box(x + 8, y + 8, 16, 16));
                        break;
                    case 'P':
                        player = new Player(x + (Tile - Player.Size) / 2, y + (Tile - Player.Size) / 2);
                        break;
                }
            }
        }
        gemCount = gems.Count;
        Log.Info($"{Name}: collect {gemCount} gems.");
    }

    public override void OnUpdate(float dt)
    {
        player.Update(dt, walls);
        FollowPlayer();

        Draw.Rect(0, 0, worldWidth, worldHeight, FloorColor);
        for (int i = 0; i < walls.Count; i++)
        {
            Box wall = walls[i];
            for (float x = wall.X; x < wall.Right; x += Tile)
            {
                Draw.Sprite("assets/wall.png", x, wall.Y, Tile, Tile, WallColor);
            }
            Physics.Collider(FirstWallId + i, wall.X, wall.Y, wall.Width, wall.Height);
        }
        foreach (var (id, gem) in gems)
        {
            Draw.Sprite("assets/pickup.png", gem.X, gem.Y, gem.Width, gem.Height, GemColor);
            Physics.Collider(id, gem.X, gem.Y, gem.Width, gem.Height);
        }
        player.Draw();
        Box body = player.Bounds;
        Physics.Collider(PlayerId, body.X, body.Y, body.Width, body.Height);
    }

    // Each contact is reported both ways; the player's side is enough.
    public override void OnCollision(int entityId, int otherId)
    {
        if (entityId != PlayerId || !gems.Remove(otherId))
        {
            return;
        }
        Audio.Play("assets/pickup.wav", volume: 0.8f);
        Log.Info($"Picked up a gem ({gemCount - gems.Count}/{gemCount}).");
        if (gems.Count == 0)
        {
            Log.Info($"{Name} cleared!");
            Game.LoadScene(nextScene);
        }
    }

    // Keeps the player in the middle of the view without showing anything beyond the level.
    private void FollowPlayer()
    {
        Box body = player.Bounds;
        float x = body.X + body.Width / 2 - BasicGameMain.ViewWidth / 2;
        float y = body.Y + body.Height / 2 - BasicGameMain.ViewHeight / 2;
        Camera.SetPosition(
            Math.Clamp(x, 0, Math.Max(0, worldWidth - BasicGameMain.ViewWidth)),
            Math.Clamp(y, 0, Math.Max(0, worldHeight - BasicGameMain.ViewHeight)));
    }
}
