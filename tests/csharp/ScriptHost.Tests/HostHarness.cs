using System.Text;
using Orvane.Hosting;

namespace Orvane.Tests;

// The host API is static, so tests that drive a host must not run in parallel; the
// real-process tests join them to keep their timing free of competing tests.
[CollectionDefinition(nameof(HostCollection), DisableParallelization = true)]
public sealed class HostCollection
{
}

// What the host writes, as the runtime would read it, and how often it was flushed.
// Starts with room for what a test writes: a reply larger than the writer's limit
// is written while the game draws, and the stream's own growth would then count
// as the game's allocations.
internal sealed class CountingStream : MemoryStream
{
    public CountingStream() : base(32 << 20) { }

    public int Flushes { get; private set; }
    public int Writes { get; private set; }

    public override void Flush()
    {
        Flushes++;
        base.Flush();
    }

    public override void Write(byte[] buffer, int offset, int count)
    {
        Writes++;
        base.Write(buffer, offset, count);
    }

    public string Text => Encoding.UTF8.GetString(GetBuffer(), 0, (int)Length);
}

internal sealed record HostRun(int ExitCode, string Text, int Flushes, int Writes)
{
    public string[] Lines => Text.Length == 0 ? Array.Empty<string>() : Text.TrimEnd('\n').Split('\n');

    // The lines of the nth (0-based) reply ending in marker, without the marker; the
    // first reply also holds everything sent before it (READY, STARTED).
    public string[] Reply(int index, string marker = "END_FRAME")
    {
        var replies = new List<List<string>> { new() };
        foreach (string line in Lines)
        {
            replies[^1].Add(line);
            if (line == marker) replies.Add(new());
        }
        return replies[index].Where(l => l != marker).ToArray();
    }
}

internal static class Host
{
    public static HostRun Run(Game game, string startScene, params string[] input)
    {
        var stream = new CountingStream();
        var loop = new HostLoop(game, startScene, new ProtocolWriter(stream));
        int exitCode = loop.Run(new StringReader(string.Join("\n", input) + "\n"));
        return new HostRun(exitCode, stream.Text, stream.Flushes, stream.Writes);
    }

    // As Run, with the input as UTF-8 bytes read the way the host's Program reads its stdin.
    public static HostRun RunUtf8(Game game, string startScene, params string[] input)
    {
        var stream = new CountingStream();
        var loop = new HostLoop(game, startScene, new ProtocolWriter(stream));
        byte[] bytes = new UTF8Encoding(false).GetBytes(string.Join("\n", input) + "\n");
        using var reader = new StreamReader(new MemoryStream(bytes), new UTF8Encoding(false));
        int exitCode = loop.Run(reader);
        return new HostRun(exitCode, stream.Text, stream.Flushes, stream.Writes);
    }

    // As Run, with a runtime that takes protocol version 2.
    public static HostRun RunVersion2(Game game, string startScene, params string[] input) =>
        Run(game, startScene, new[] { "PROTOCOL|2" }.Concat(input).ToArray());
}

// A game whose hooks are set by the test; every call is recorded.
internal sealed class ScriptedGame : Game
{
    public List<string> Calls { get; } = new();
    public Action<string>? Start { get; init; }
    public Action<float>? Update { get; init; }
    public Action<int, int>? Collision { get; init; }
    public Action? Shutdown { get; init; }
    public Action<bool>? Focus { get; init; }
    public Func<string?>? Save { get; init; }
    public Action<string>? Restore { get; init; }

    protected override void OnStart(string scene)
    {
        Calls.Add("start:" + scene);
        Start?.Invoke(scene);
    }

    protected override void OnUpdate(float dt)
    {
        Calls.Add("update");
        Update?.Invoke(dt);
    }

    protected override void OnCollision(int entityId, int otherId)
    {
        Calls.Add($"collision:{entityId}:{otherId}");
        Collision?.Invoke(entityId, otherId);
    }

    protected override void OnShutdown()
    {
        Calls.Add("shutdown");
        Shutdown?.Invoke();
    }

    protected override void OnFocusChanged(bool focused)
    {
        Calls.Add("focus:" + (focused ? "1" : "0"));
        Focus?.Invoke(focused);
    }

    protected override string? SaveState()
    {
        Calls.Add("save");
        return Save?.Invoke();
    }

    protected override void RestoreState(string state)
    {
        Calls.Add("restore");
        Restore?.Invoke(state);
    }
}

internal sealed class RecordingScene : Scene
{
    private readonly List<string> calls;

    public RecordingScene(List<string> calls)
    {
        this.calls = calls;
    }

    public Action<float>? Update { get; init; }

    protected override void OnEnter() => calls.Add($"{Name}.enter");
    protected override void OnExit() => calls.Add($"{Name}.exit");

    protected override void OnUpdate(float dt)
    {
        calls.Add($"{Name}.update");
        Update?.Invoke(dt);
    }

    protected override void OnCollision(int entityId, int otherId) => calls.Add($"{Name}.collision:{entityId}:{otherId}");
}

internal static class RepositoryPaths
{
    public static string Root { get; } = FindRoot();

    public static string ScriptHostDll =>
        Path.Combine(Root, "engine", "csharp", "ScriptHost", "bin", "Debug", "net8.0", "Orvane.ScriptHost.dll");

    public static string BasicGameFolder => Path.Combine(Root, "samples", "BasicGame");

    public static string BasicGameDll => Path.Combine(BasicGameFolder, "bin", "Debug", "net8.0", "BasicGame.dll");

    private static string FindRoot()
    {
        for (var dir = new DirectoryInfo(AppContext.BaseDirectory); dir != null; dir = dir.Parent)
        {
            if (Directory.Exists(Path.Combine(dir.FullName, "engine", "csharp", "ScriptHost")))
            {
                return dir.FullName;
            }
        }
        throw new InvalidOperationException("Repository root not found above " + AppContext.BaseDirectory);
    }
}
