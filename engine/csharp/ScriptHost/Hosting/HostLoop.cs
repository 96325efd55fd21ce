using System.Globalization;

namespace Orvane.Hosting;

// Runs one game over the line protocol: announces READY, then answers START with
// STARTED and every FRAME line with the frame's commands and END_FRAME, each reply
// flushed once. COLLISION lines are queued and delivered at the start of the next
// frame, after the input state was updated and before the update, so collision
// handlers run inside a frame like every other hook. Unknown lines are ignored.
internal sealed class HostLoop
{
    private readonly Game game;
    private readonly string startScene;
    private readonly ProtocolWriter output;
    private readonly Queue<(int EntityId, int OtherId)> collisions = new();
    private bool started;
    private float sentCameraX;
    private float sentCameraY;

    internal HostLoop(Game game, string startScene, ProtocolWriter output)
    {
        this.game = game;
        this.startScene = startScene;
        this.output = output;
        HostContext.Attach(output);
    }

    // Reads lines until SHUTDOWN or the end of input, then runs the shutdown hook.
    // Returns the process exit code.
    internal int Run(TextReader input)
    {
        try
        {
            output.Line("READY");
            output.Flush();
            string? line;
            while ((line = input.ReadLine()) != null)
            {
                if (line == "SHUTDOWN")
                {
                    break;
                }
                Handle(line);
            }
            // OnShutdown pairs with OnStart: a game that never started has nothing to end.
            if (started)
            {
                Guarded("Game shutdown failed", game.RunShutdown);
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
        else if (line == "PROTOCOL|2" && !started)
        {
            output.ProtocolVersion = 2;
            output.Audio.VersionKnown();
        }
    }

    private void Start()
    {
        // A repeated START is answered but does not start the game twice.
        if (!started)
        {
            started = true;
            Guarded("Game start failed", () => game.RunStart(startScene));
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
        // A frame that arrives before START gets no update: the game has not started.
        if (started)
        {
            while (collisions.TryDequeue(out var collision))
            {
                Guarded("Game collision handler failed", () => game.RunCollision(collision.EntityId, collision.OtherId));
            }
            Guarded("Game update failed", () => game.RunUpdate(dt));
            SendCameraIfMoved();
        }
        output.Line("END_FRAME");
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

    // The runtime keeps the camera until told otherwise and starts at 0, 0, so only a
    // moved camera is sent.
    private void SendCameraIfMoved()
    {
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
    // the trace as error log lines, and the exchange goes on.
    private void Guarded(string what, Action action)
    {
        try
        {
            action();
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
                output.Log("Error", traceLine);
            }
        }
    }
}
