using System.Globalization;
using System.Numerics;
using Orvane;

namespace BasicGame;

// One level, built from a text map: '#' wall, 'o' gem, 'P' player start, anything
// else floor. Collect every gem to go on to the next level. The gems turn and pulse,
// the one nearest the player is outlined, the one under the mouse too, a click marks
// a gem, a pickup flashes the player, and a HUD in screen space shows the level and
// the gem count.
public sealed class LevelScene : Scene
{
    private const float Tile = 32;
    private const int PlayerId = 1;
    private const int FirstGemId = 100;
    private const int FirstWallId = 1000;

    private const float HudTextSize = 20;
    private const float HighlightRange = 96;
    private const float FlashSeconds = 0.3f;

    private static readonly Color FloorColor = new(40, 44, 56);
    private static readonly Color WallColor = new(150, 80, 60);
    private static readonly Color GemColor = new(250, 200, 40);
    private static readonly Color HudPanelColor = new(10, 12, 20, 170);
    private static readonly Color HoverColor = new(255, 255, 255, 140);
    private static readonly Color MarkColor = new(80, 230, 255);

    private readonly string[] map;
    private readonly string title;
    private readonly string nextScene;
    private readonly List<Box> walls = new();
    private readonly Dictionary<int, Box> gems = new();
    private Player player = new(0, 0);
    private int gemCount;
    private float worldWidth;
    private float worldHeight;
    private float time;
    private float flash;
    private string gemText = "";
    private int markedGem = -1;

    public LevelScene(string[] map, string title, string nextScene)
    {
        this.map = map;
        this.title = title;
        this.nextScene = nextScene;
    }

    // Entering (again) starts the level afresh.
    protected override void OnEnter()
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
        time = 0;
        flash = 0;
        markedGem = -1;
        UpdateGemText();
        Log.Info($"{Name}: collect {gemCount} gems.");
    }

    protected override void OnUpdate(float dt)
    {
        time += dt;
        flash = Math.Max(0, flash - dt);
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
            DrawGem(gem);
            Physics.Collider(id, gem.X, gem.Y, gem.Width, gem.Height);
        }
        HighlightNearestGem();
        PointAtGems();
        player.Draw();
        Box body = player.Bounds;
        if (flash > 0)
        {
            // Over the player's sprite: a white flash that fades out.
            Draw.Rect(body.X, body.Y, body.Width, body.Height, Color.White.WithOpacity(flash / FlashSeconds * 0.8f));
        }
        Physics.Collider(PlayerId, body.X, body.Y, body.Width, body.Height);
        DrawHud();
    }

    // Each contact is reported both ways; the player's side is enough.
    protected override void OnCollision(int entityId, int otherId)
    {
        if (entityId != PlayerId || !gems.Remove(otherId))
        {
            return;
        }
        Audio.Play("assets/pickup.wav", volume: 0.8f);
        Log.Info($"Picked up a gem ({gemCount - gems.Count}/{gemCount}).");
        flash = FlashSeconds;
        UpdateGemText();
        if (gems.Count == 0)
        {
            Log.Info($"{Name} cleared!");
            Game.LoadScene(nextScene);
        }
    }

    // A gem turns once every four seconds and pulses around its box. An older runtime
    // cannot turn a sprite, so there it stays still.
    private void DrawGem(Box gem)
    {
        if (!Draw.AdvancedDrawing)
        {
            Draw.Sprite("assets/pickup.png", gem.X, gem.Y, gem.Width, gem.Height, GemColor);
            return;
        }
        float scale = 1 + 0.15f * MathF.Sin(time * 5);
        float size = gem.Width * scale;
        Draw.Sprite("assets/pickup.png", gem.X + (gem.Width - size) / 2, gem.Y + (gem.Height - size) / 2, size, size,
            new SpriteOptions { Rotation = time * 90, Fallback = GemColor });
    }

    // What the level hands to its next instance on a reload: "x|y|collected gem ids".
    public string SaveState()
    {
        var collected = new List<int>();
        for (int id = FirstGemId; id < FirstGemId + gemCount; id++)
        {
            if (!gems.ContainsKey(id)) collected.Add(id);
        }
        return BasicGameMain.Format(player.X) + "|" + BasicGameMain.Format(player.Y) + "|" + string.Join(",", collected);
    }

    // Called right after the level was entered; anything malformed keeps the fresh level.
    public void RestoreState(string state)
    {
        string[] parts = state.Split('|');
        if (parts.Length != 3
            || !float.TryParse(parts[0], CultureInfo.InvariantCulture, out float x)
            || !float.TryParse(parts[1], CultureInfo.InvariantCulture, out float y))
        {
            return;
        }
        player = new Player(x, y);
        foreach (string id in parts[2].Split(',', StringSplitOptions.RemoveEmptyEntries))
        {
            if (int.TryParse(id, CultureInfo.InvariantCulture, out int gemId)) gems.Remove(gemId);
        }
        UpdateGemText();
    }

    // The gem under the mouse gets a faint outline; a left click marks it (or clears the
    // mark when it hits no gem). The mouse is in window pixels; its world position
    // accounts for the camera and the zoom.
    private void PointAtGems()
    {
        if (!Mouse.IsInsideWindow && !Mouse.WasButtonPressed(MouseButton.Left))
        {
            return;
        }
        Vector2 pointer = Mouse.WorldPosition;
        int hovered = -1;
        foreach (var (id, gem) in gems)
        {
            if (pointer.X >= gem.X - 4 && pointer.X < gem.Right + 4 && pointer.Y >= gem.Y - 4 && pointer.Y < gem.Bottom + 4)
            {
                hovered = id;
            }
        }
        if (Mouse.WasButtonPressed(MouseButton.Left))
        {
            markedGem = hovered;
        }
        if (hovered >= 0 && hovered != markedGem)
        {
            Box gem = gems[hovered];
            Draw.RectOutline(gem.X - 4, gem.Y - 4, gem.Width + 8, gem.Height + 8, HoverColor, 1);
        }
        if (gems.TryGetValue(markedGem, out Box marked))
        {
            Draw.RectOutline(marked.X - 3, marked.Y - 3, marked.Width + 6, marked.Height + 6, MarkColor, 2);
        }
    }

    private void HighlightNearestGem()
    {
        Box body = player.Bounds;
        float bestDistance = HighlightRange;
        Box? nearest = null;
        foreach (Box gem in gems.Values)
        {
            float distance = MathF.Sqrt(Square(gem.X - body.X) + Square(gem.Y - body.Y));
            if (distance < bestDistance)
            {
                bestDistance = distance;
                nearest = gem;
            }
        }
        if (nearest is Box target)
        {
            Draw.RectOutline(target.X - 6, target.Y - 6, target.Width + 12, target.Height + 12, GemColor.WithAlpha(200), 2);
        }
    }

    // The level's title and the gem count, top right (the levels start the player top
    // left), on a translucent panel that fits the text.
    private void DrawHud()
    {
        TextSize titleSize = Draw.MeasureText(title, HudTextSize);
        TextSize gemSize = Draw.MeasureText(gemText, HudTextSize);
        float width = Math.Max(titleSize.Width, gemSize.Width);
        float left = BasicGameMain.ViewWidth - width - 24;
        using (Draw.Screen())
        {
            Draw.Rect(left, 8, width + 16, titleSize.Height + gemSize.Height + 12, HudPanelColor);
            Draw.Text(title, left + 8, 14, HudTextSize, Color.White);
            Draw.Text(gemText, left + 8, 14 + titleSize.Height, HudTextSize, GemColor);
        }
    }

    // The text is built when the count changes, not in every frame.
    private void UpdateGemText() => gemText = $"Gems: {gemCount - gems.Count}/{gemCount}";

    private static float Square(float value) => value * value;

    // Keeps the player in the middle of the view without showing anything beyond the
    // level. At a zoom of 1.5 the view covers two thirds of the window's size in world
    // units; the window may have been resized.
    private void FollowPlayer()
    {
        Box body = player.Bounds;
        float viewWidth = BasicGameMain.ViewWidth / Camera.Zoom;
        float viewHeight = BasicGameMain.ViewHeight / Camera.Zoom;
        float x = body.X + body.Width / 2 - viewWidth / 2;
        float y = body.Y + body.Height / 2 - viewHeight / 2;
        Camera.SetPosition(
            Math.Clamp(x, 0, Math.Max(0, worldWidth - viewWidth)),
            Math.Clamp(y, 0, Math.Max(0, worldHeight - viewHeight)));
    }
}
