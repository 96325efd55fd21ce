using System.Collections.Concurrent;
using System.Diagnostics;
using System.Text;

namespace Orvane.Tests;

// The built host run by dotnet as a real child process with real pipes. Kept out of
// parallel runs so that the frame limit measures the host, not the other tests.
[Collection(nameof(HostCollection))]
public sealed class ProcessTests
{
    private sealed class HostProcess : IDisposable
    {
        private readonly Process process;
        private readonly BlockingCollection<string> lines = new();
        private readonly StringBuilder errors = new();

        public HostProcess(string workingDirectory, params string[] arguments)
        {
            var start = new ProcessStartInfo("dotnet")
            {
                WorkingDirectory = workingDirectory,
                RedirectStandardInput = true,
                RedirectStandardOutput = true,
                RedirectStandardError = true,
                StandardOutputEncoding = new UTF8Encoding(false),
            };
            start.ArgumentList.Add(RepositoryPaths.ScriptHostDll);
            foreach (string argument in arguments) start.ArgumentList.Add(argument);
            process = Process.Start(start)!;
            // Dedicated reader threads: thread-pool callbacks can be held back for
            // hundreds of milliseconds while the test runner keeps the pool busy.
            StartReader(() =>
            {
                string? line;
                while ((line = process.StandardOutput.ReadLine()) != null) lines.Add(line);
                lines.CompleteAdding();
            });
            StartReader(() =>
            {
                string? line;
                while ((line = process.StandardError.ReadLine()) != null)
                {
                    lock (errors) errors.AppendLine(line);
                }
            });
            process.StandardInput.NewLine = "\n";
        }

        private static void StartReader(Action read) => new Thread(() => read()) { IsBackground = true }.Start();

        public string Errors
        {
            get { lock (errors) return errors.ToString(); }
        }

        public void Send(string line)
        {
            process.StandardInput.WriteLine(line);
            process.StandardInput.Flush();
        }

        // Returns the lines read up to and including the first one equal to marker, or
        // fails when it does not come within the limit.
        public List<string> ReadUntil(string marker, TimeSpan limit, string what = "")
        {
            var seen = new List<string>();
            var clock = Stopwatch.StartNew();
            while (true)
            {
                TimeSpan left = limit - clock.Elapsed;
                string? line = null;
                if (left < TimeSpan.Zero || !lines.TryTake(out line, left))
                {
                    Assert.Fail($"{what}: no {marker} within {limit.TotalMilliseconds} ms; got:\n{string.Join("\n", seen)}\nstderr:\n{Errors}");
                }
                seen.Add(line!);
                if (line == marker) return seen;
            }
        }

        public List<string> ReadToEnd(TimeSpan limit)
        {
            var seen = new List<string>();
            var clock = Stopwatch.StartNew();
            while (!lines.IsCompleted && clock.Elapsed < limit)
            {
                if (lines.TryTake(out string? line, TimeSpan.FromMilliseconds(50))) seen.Add(line);
            }
            return seen;
        }

        public int WaitForExit(TimeSpan limit)
        {
            Assert.True(process.WaitForExit(limit), "the host did not exit; stderr:\n" + Errors);
            return process.ExitCode;
        }

        public void Dispose()
        {
            if (!process.HasExited) process.Kill(entireProcessTree: true);
            process.Dispose();
        }
    }

    [Theory]
    [InlineData(false)]
    [InlineData(true)] // the runtime answers the host's offer of version 2
    public void RunsTheSampleThroughAFullSession(bool version2)
    {
        string sample = RepositoryPaths.BasicGameFolder;
        using var host = new HostProcess(sample, BuiltSample.BasicGameDll, "BasicGame.BasicGameMain", sample, "Level1");

        Assert.Equal(new[] { "PROTOCOL|2", "READY" }, host.ReadUntil("READY", TimeSpan.FromSeconds(5)));
        if (version2) host.Send("PROTOCOL|2");
        host.Send("START");
        host.ReadUntil("STARTED", TimeSpan.FromSeconds(5));

        var sprites = 0;
        for (int frame = 0; frame < 100; frame++)
        {
            // Hold the right arrow for the first half, F1 in frame 50.
            string keys = frame < 50 ? "39" : frame == 50 ? "112" : "";
            host.Send("FRAME|0.0166667|" + keys);
            List<string> reply = host.ReadUntil("END_FRAME", TimeSpan.FromMilliseconds(500), $"frame {frame}");
            sprites += reply.Count(l => l.StartsWith("SPRITE|"));
            Assert.Equal(version2, reply.Any(l => l.StartsWith("TEXT|")));
            if (frame == 50)
            {
                Assert.Contains(reply, l => l.StartsWith("DEBUG_RECT|"));
            }
        }
        Assert.True(sprites > 100);

        host.Send("SHUTDOWN");
        Assert.Equal(0, host.WaitForExit(TimeSpan.FromSeconds(5)));
        Assert.Equal("", host.Errors.Trim());
    }

    [Theory]
    [InlineData("BasicGame.Missing", "ERROR|Main class \"BasicGame.Missing\" was not found")]
    [InlineData(null, "ERROR|Expected 4 arguments")]
    public void StartFailuresEndWithOneErrorLineAndExitCodeOne(string? mainClass, string expected)
    {
        string sample = RepositoryPaths.BasicGameFolder;
        string[] arguments = mainClass == null
            ? new[] { BuiltSample.BasicGameDll, "BasicGame.BasicGameMain" }
            : new[] { BuiltSample.BasicGameDll, mainClass, sample, "" };
        using var host = new HostProcess(sample, arguments);

        Assert.Equal(1, host.WaitForExit(TimeSpan.FromSeconds(10)));
        List<string> lines = host.ReadToEnd(TimeSpan.FromSeconds(2));
        string line = Assert.Single(lines);
        Assert.StartsWith(expected, line);
    }

    // A reload as the runtime does it, over real pipes: the old host's state, asked for
    // between frames, started in a second host; both processes end normally.
    [Fact]
    public void TheSamplesStateCrossesToASecondHost()
    {
        string sample = RepositoryPaths.BasicGameFolder;
        string Session(HostProcess host, string? restore)
        {
            host.ReadUntil("READY", TimeSpan.FromSeconds(5));
            host.Send("PROTOCOL|2");
            host.Send("SIZE|960|540");
            if (restore != null) host.Send("RESTORE_STATE|" + restore);
            host.Send("START");
            host.ReadUntil("STARTED", TimeSpan.FromSeconds(5));
            string player = "";
            for (int frame = 0; frame < (restore == null ? 20 : 1); frame++)
            {
                host.Send(restore == null ? "FRAME|0.05|39" : "FRAME|0.016|");
                player = host.ReadUntil("END_FRAME", TimeSpan.FromMilliseconds(500), $"frame {frame}").Single(l => l.EndsWith("|assets/player-sheet.png"));
            }
            return player.Split('|')[1];
        }

        string oldX;
        string state;
        using (var old = new HostProcess(sample, BuiltSample.BasicGameDll, "BasicGame.BasicGameMain", sample, "Level1"))
        {
            oldX = Session(old, null);
            old.Send("SAVE_STATE");
            state = old.ReadUntil("STATE|" + "Level1|" + oldX + "|34|", TimeSpan.FromMilliseconds(500), "state").Last()["STATE|".Length..];
            old.Send("SHUTDOWN");
            Assert.Equal(0, old.WaitForExit(TimeSpan.FromSeconds(5)));
        }
        using var next = new HostProcess(sample, BuiltSample.BasicGameDll, "BasicGame.BasicGameMain", sample, "Level1");

        Assert.Equal(oldX, Session(next, state));
        next.Send("KEY|27|1");
        next.Send("FRAME|0.016|27");
        Assert.Contains("QUIT", next.ReadUntil("END_FRAME", TimeSpan.FromMilliseconds(500), "escape"));
        next.Send("SHUTDOWN");
        Assert.Equal(0, next.WaitForExit(TimeSpan.FromSeconds(5)));
        Assert.Equal("", next.Errors.Trim());
    }
}
