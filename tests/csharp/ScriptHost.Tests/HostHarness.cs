using Orvane.Hosting;

namespace Orvane.Tests;

// The host API is static, so tests that drive a host must not run in parallel; the
// real-process tests join them to keep their timing free of competing tests.
[CollectionDefinition(nameof(HostCollection), DisableParallelization = true)]
public sealed class HostCollection
{
}

internal sealed class CountingWriter : StringWriter
{
    public int Flushes { get; private set; }

    public override void Flush()
    {
        Flushes++;
        base.Flush();
    }
}

internal sealed record HostRun(int ExitCode, string Text, int Flushes)
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
        var writer = new CountingWriter();
        var loop = new HostLoop(game, startScene, new ProtocolWriter(writer));
        int exitCode = loop.Run(new StringReader(string.Join("\n", input) + "\n"));
        return new HostRun(exitCode, writer.ToString(), writer.Flushes);
    }
}

// A game whose hooks are set by the test; every call is recorded.
internal sealed class ScriptedGame : Game
{
    public List<string> Calls { get; } = new();
    public Action<string>? Start { get; init; }
    public Action<float>? Update { get; init; }
    public Action<int, int>? Collision { get; init; }
    public Action? Shutdown { get; init; }

    public override void OnStart(string scene)
    {
        Calls.Add("start:" + scene);
        Start?.Invoke(scene);
    }

    public override void OnUpdate(float dt)
    {
        Calls.Add("update");
        Update?.Invoke(dt);
    }

    public override void OnCollision(int entityId, int otherId)
    {
        Calls.Add($"collision:{entityId}:{otherId}");
        Collision?.Invoke(entityId, otherId);
    }

    public override void OnShutdown()
    {
        Calls.Add("shutdown");
        Shutdown?.Invoke();
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

    public override void OnEnter() => calls.Add($"{Name}.enter");
    public override void OnExit() => calls.Add($"{Name}.exit");

    public override void OnUpdate(float dt)
    {
        calls.Add($"{Name}.update");
        Update?.Invoke(dt);
    }

    public override void OnCollision(int entityId, int otherId) => calls.Add($"{Name}.collision:{entityId}:{otherId}");
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
