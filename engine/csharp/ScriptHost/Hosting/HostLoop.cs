using System.Globalization;

namespace Orvane.Hosting;

// Runs one game over the line protocol: offers version 2 and announces READY, then
// answers START with STARTED and every FRAME line with the frame's commands and
// END_FRAME, each reply flushed once. The runtime's answer to the offer is the first
// of PROTOCOL|2 (version 2), START or FRAME (a version-1 runtime). COLLISION lines are
// queued and delivered at the start of the next frame, after the input state was
// updated and before the update, so collision handlers run inside a frame like every
// other hook; focus changes likewise, before the collisions. A version-2 runtime's
// input events before a frame line collect in the input state. SAVE_STATE is answered
// at once with STATE|; RESTORE_STATE before START hands the text to the game after its
// start. Unknown lines are ignored, and so is every line the runtime cut short (it ends
// such a line with CAN).
internal sealed class HostLoop
{
    // The runtime ends the fragment of a line it could not finish writing with CAN.
    private const char CutLineMark = '\u0018';

    private readonly Game game;
    private readonly string startScene;
    private readonly ProtocolWriter output;
    private readonly Queue<(int EntityId, int OtherId)> collisions = new();
    private bool started;
    private bool versionKnown;
    private string? stateToRestore;
    private float sentCameraX;
    private float sentCameraY;
    private float sentZoom = 1;

    internal HostLoop(Game game, string startScene, ProtocolWriter output)
    {
        this.game = game;
        this.startScene = startScene;
        this.output = output;
        HostContext.Attach(output);
        HostContext.Fonts.ProjectFolder = game.ProjectFolder;
    }

    // Reads lines until SHUTDOWN or the end of input, then runs the shutdown hook.
    // Returns the process exit code.
    internal int Run(TextReader input)
    {
        try
        {
            output.Line("PROTOCOL|2");
            output.Line("READY");
            output.Flush();
            string? line;
            while ((line = input.ReadLine()) != null)
            {
                if (line == "SHUTDOWN")
                {
                    break;
                }
                if (line.EndsWith(CutLineMark))
                {
                    continue;
                }
                Handle(line);
            }
            // OnShutdown pairs with OnStart: a game that never started has nothing to end.
            if (started)
            {
                Guarded("Game shutdown failed", static (game, _) => game.RunShutdown(), 0);
            }
            output.Flush();
            return 0;
        }
        finally
        {
            HostContext.Detach(output);
        }
    }

    private void Handle(string line)
    {
        if (!versionKnown)
        {
            Negotiate(line);
        }
        if (line.StartsWith("FRAME|", StringComparison.Ordinal))
        {
            Frame(line.AsSpan("FRAME|".Length));
        }
        else if (line.StartsWith("COLLISION|", StringComparison.Ordinal))
        {
            QueueCollision(line.AsSpan("COLLISION|".Length));
        }
        else if (line == "START")
        {
            Start();
        }
        else if (line == "SAVE_STATE")
        {
            SaveState();
        }
        else if (line.StartsWith("RESTORE_STATE|", StringComparison.Ordinal))
        {
            // Only the state for a game yet to start means anything.
            if (!started)
            {
                stateToRestore = ProtocolWriter.UnescapeState(line.AsSpan("RESTORE_STATE|".Length));
            }
        }
        else if (output.Version >= 2)
        {
            HostContext.Input.Event(line);
        }
    }

    // Before the first START or FRAME, PROTOCOL|2 says the runtime takes version 2;
    // START or FRAME without it comes from a version-1 runtime. Later PROTOCOL lines
    // change nothing.
    private void Negotiate(string line)
    {
        if (line == "PROTOCOL|2")
        {
            output.Version = 2;
            versionKnown = true;
            // Sound settings made before the agreement go out now.
            output.Audio.VersionKnown();
        }
        else if (line == "START" || line.StartsWith("FRAME|", StringComparison.Ordinal))
        {
            output.Version = 1;
            versionKnown = true;
            if (ProjectWindowSize.Read(game.ProjectFolder) is (int width, int height))
            {
                HostContext.Input.AssumeSize(width, height);
            }
        }
    }

    private void Start()
    {
        // A repeated START is answered but does not start the game twice.
        if (!started)
        {
            started = true;
            Guarded("Game start failed", static (game, scene) => game.RunStart(scene), startScene);
            if (stateToRestore != null)
            {
                Guarded("Game state restore failed", static (game, state) => game.RunRestoreState(state), stateToRestore);
                stateToRestore = null;
                // The runtime kept the old instance's view; whatever this one has is sent.
                sentCameraX = float.NaN;
                sentZoom = float.NaN;
            }
            SendCameraIfMoved();
        }
        output.Line("STARTED");
        output.Flush();
    }

    // fields: "dt|keys". A malformed line still gets its END_FRAME, since the runtime
    // waits for one after every frame line.
    private void Frame(ReadOnlySpan<char> fields)
    {
        int separator = fields.IndexOf('|');
        ReadOnlySpan<char> dtText = separator < 0 ? fields : fields[..separator];
        ReadOnlySpan<char> keys = separator < 0 ? ReadOnlySpan<char>.Empty : fields[(separator + 1)..];
        float dt = ParseTimeStep(dtText);

        HostContext.Input.NextFrame(keys);
        output.BeginFrame();
        // A frame that arrives before START gets no update: the game has not started.
        if (started)
        {
            while (HostContext.Input.TryTakeFocusChange(out bool focused))
            {
                Guarded("Game focus handler failed", static (game, focused) => game.RunFocusChanged(focused), focused);
            }
            while (collisions.TryDequeue(out var collision))
            {
                Guarded("Game collision handler failed", static (game, pair) => game.RunCollision(pair.EntityId, pair.OtherId), collision);
            }
            Guarded("Game update failed", static (game, dt) => game.RunUpdate(dt), dt);
            SendCameraIfMoved();
        }
        output.Line("END_FRAME");
        output.Flush();
    }

    // Answered at once and on its own, outside any frame; a game that has not started,
    // or whose hook failed, hands over nothing.
    private void SaveState()
    {
        string? state = null;
        if (started)
        {
            try
            {
                state = game.RunSaveState();
            }
            catch (Exception exception)
            {
                ReportException(output, "Game state save failed", exception);
            }
        }
        output.State(state);
        output.Flush();
    }

    private void QueueCollision(ReadOnlySpan<char> fields)
    {
        int separator = fields.IndexOf('|');
        if (separator < 0)
        {
            return;
        }
        if (int.TryParse(fields[..separator], NumberStyles.AllowLeadingSign, CultureInfo.InvariantCulture, out int entityId)
            && int.TryParse(fields[(separator + 1)..], NumberStyles.AllowLeadingSign, CultureInfo.InvariantCulture, out int otherId))
        {
            collisions.Enqueue((entityId, otherId));
        }
    }

    // The runtime keeps the camera until told otherwise and starts at 0, 0 and zoom 1,
    // so only a moved or zoomed camera is sent.
    private void SendCameraIfMoved()
    {
        float zoom = Camera.Zoom;
        if (!zoom.Equals(sentZoom))
        {
            output.Zoom(zoom);
            // A version-1 runtime stays at zoom 1; the writer warns about that once.
            if (output.Version >= 2)
            {
                sentZoom = zoom;
            }
        }
        float x = Camera.X;
        float y = Camera.Y;
        if (x.Equals(sentCameraX) && y.Equals(sentCameraY))
        {
            return;
        }
        if (float.IsFinite(x) && float.IsFinite(y))
        {
            sentCameraX = x;
            sentCameraY = y;
        }
        output.Camera(x, y);
    }

    // Garbage, NaN or a negative step becomes 0, so game code never sees it.
    private static float ParseTimeStep(ReadOnlySpan<char> text)
    {
        if (float.TryParse(text, NumberStyles.Float, CultureInfo.InvariantCulture, out float dt)
            && float.IsFinite(dt) && dt > 0)
        {
            return dt;
        }
        return 0;
    }

    // Game code must not take the host down: its exception becomes one ERROR line and
    // the trace as error log lines, and the exchange goes on. A static lambda and its
    // state keep a frame free of closures.
    private void Guarded<TState>(string what, Action<Game, TState> action, TState state)
    {
        try
        {
            action(game, state);
        }
        catch (Exception exception)
        {
            ReportException(output, what, exception);
        }
    }

    internal static void ReportException(ProtocolWriter output, string what, Exception exception)
    {
        output.Error($"{what}: {exception.GetType().Name}: {exception.Message}");
        string[] lines = exception.ToString().Split('\n');
        // The first line repeats the type and message that ERROR already carries.
        for (int i = 1; i < lines.Length; i++)
        {
            string traceLine = lines[i].TrimEnd('\r');
            if (traceLine.Length > 0)
            {
                output.Log(LogLevel.Error, traceLine);
            }
        }
    }
}
