using System.Diagnostics;
using System.Text;

namespace HostBench;

// Prints: time from process start to READY, and the reply time (FRAME line written to
// END_FRAME read) for frames of 1,000 and 10,000 rectangles on a version-1 runtime, of
// 10,000 rectangles and of 10,000 mixed version-2 commands on a version-2 one, with the
// bytes the host thread allocated per frame in steady state and the host's processor
// time per frame.
internal static class Program
{
    private static int Main()
    {
        string root = FindRoot();
        string hostDll = Path.Combine(root, "engine", "csharp", "ScriptHost", "bin", "Debug", "net8.0", "Orvane.ScriptHost.dll");
        if (!File.Exists(hostDll))
        {
            Console.Error.WriteLine("Build the script host first: " + hostDll);
            return 1;
        }

        var startTimes = new List<double>();
        for (int run = 0; run < 10; run++)
        {
            using var host = new Host(hostDll, "0");
            startTimes.Add(host.MillisecondsToReady);
            host.Stop();
        }
        Report("start to READY", startTimes);

        foreach (var (lines, version, mixed) in new[] { (1_000, 1, false), (10_000, 1, false), (10_000, 2, false), (10_000, 2, true) })
        {
            string scene = mixed ? $"{lines}:mixed" : lines.ToString();
            using var host = new Host(hostDll, scene);
            if (version == 2) host.Send("PROTOCOL|2");
            host.Exchange("START", "STARTED");
            // The game reports allocations every 100 frames; the last report covers steady frames only.
            for (int i = 0; i < 100; i++) host.Exchange("FRAME|0.0166667|", "END_FRAME");
            var times = new List<double>();
            int received = 0;
            TimeSpan cpuBefore = host.ProcessorTime;
            for (int i = 0; i < 500; i++)
            {
                var clock = Stopwatch.StartNew();
                received = host.Exchange("FRAME|0.0166667|37,65", "END_FRAME");
                times.Add(clock.Elapsed.TotalMilliseconds);
            }
            double cpuPerFrame = (host.ProcessorTime - cpuBefore).TotalMilliseconds / times.Count;
            host.Stop();
            string what = mixed ? "mixed v2 commands" : version == 2 ? "rects, v2" : "rects";
            Report($"frame of {lines:N0} {what} ({received:N0} lines)", times);
            Console.WriteLine($"{"",-40} host CPU per frame {cpuPerFrame:F2} ms; allocated on the host thread per frame: {host.LastAllocationReport} bytes");
        }
        return 0;
    }

    private static void Report(string what, List<double> milliseconds)
    {
        milliseconds.Sort();
        double Percentile(double p) => milliseconds[Math.Min(milliseconds.Count - 1, (int)Math.Ceiling(p * milliseconds.Count) - 1)];
        Console.WriteLine($"{what,-40} n={milliseconds.Count,4}  median {Percentile(0.5),8:F2} ms  p99 {Percentile(0.99),8:F2} ms  max {milliseconds[^1],8:F2} ms");
    }

    private static string FindRoot()
    {
        for (var dir = new DirectoryInfo(AppContext.BaseDirectory); dir != null; dir = dir.Parent)
        {
            if (Directory.Exists(Path.Combine(dir.FullName, "engine", "csharp", "ScriptHost"))) return dir.FullName;
        }
        throw new InvalidOperationException("Repository root not found.");
    }

    private sealed class Host : IDisposable
    {
        private readonly Process process;

        public Host(string hostDll, string startScene)
        {
            string self = typeof(BenchGame).Assembly.Location;
            var start = new ProcessStartInfo("dotnet")
            {
                ArgumentList = { hostDll, self, typeof(BenchGame).FullName!, AppContext.BaseDirectory, startScene },
                RedirectStandardInput = true,
                RedirectStandardOutput = true,
                StandardOutputEncoding = new UTF8Encoding(false),
            };
            var clock = Stopwatch.StartNew();
            process = Process.Start(start)!;
            process.StandardInput.NewLine = "\n";
            GiveTheAnswerPipeTheRuntimesRoom();
            ReadUntil("READY");
            MillisecondsToReady = clock.Elapsed.TotalMilliseconds;
        }

        public double MillisecondsToReady { get; }

        // The Linux runtime widens the pipe of the host's answers to 1 MiB
        // (ChildProcessPosix); the host is timed with the pipe it has in a game.
        private void GiveTheAnswerPipeTheRuntimesRoom()
        {
            const int setPipeSize = 1031;   // F_SETPIPE_SZ
            if (OperatingSystem.IsLinux() && process.StandardOutput.BaseStream is System.IO.Pipes.PipeStream pipe)
            {
                _ = fcntl((int)pipe.SafePipeHandle.DangerousGetHandle(), setPipeSize, 1 << 20);
            }
        }

        [System.Runtime.InteropServices.DllImport("libc", SetLastError = true)]
        private static extern int fcntl(int descriptor, int command, int argument);

        public string LastAllocationReport { get; private set; } = "none";

        // User and kernel time of the host process: what the host spends on the frames,
        // apart from the waits on this reader that the reply times include.
        public TimeSpan ProcessorTime
        {
            get
            {
                process.Refresh();
                return process.TotalProcessorTime;
            }
        }

        public void Send(string line)
        {
            process.StandardInput.WriteLine(line);
            process.StandardInput.Flush();
        }

        // Sends one line and reads up to the answer; returns the number of lines read.
        public int Exchange(string line, string answer)
        {
            Send(line);
            return ReadUntil(answer);
        }

        public void Stop()
        {
            process.StandardInput.WriteLine("SHUTDOWN");
            process.StandardInput.Flush();
            process.WaitForExit();
        }

        public void Dispose()
        {
            if (!process.HasExited) process.Kill();
            process.Dispose();
        }

        // Reads raw bytes and splits lines itself: a string per line would make
        // this reader, not the host, the larger part of what is timed.
        private readonly byte[] chunk = new byte[64 * 1024];
        private readonly List<byte> pending = new();
        private int chunkStart;
        private int chunkEnd;

        private int ReadUntil(string marker)
        {
            byte[] markerBytes = Encoding.UTF8.GetBytes(marker);
            byte[] report = Encoding.UTF8.GetBytes("LOG|Info|allocated per frame: ");
            Stream output = process.StandardOutput.BaseStream;
            int count = 0;
            for (;;)
            {
                if (chunkStart == chunkEnd)
                {
                    chunkStart = 0;
                    chunkEnd = output.Read(chunk, 0, chunk.Length);
                    if (chunkEnd == 0) break;
                }
                int newline = Array.IndexOf(chunk, (byte)'\n', chunkStart, chunkEnd - chunkStart);
                if (newline < 0)
                {
                    pending.AddRange(new ArraySegment<byte>(chunk, chunkStart, chunkEnd - chunkStart));
                    chunkStart = chunkEnd;
                    continue;
                }
                ReadOnlySpan<byte> line = chunk.AsSpan(chunkStart, newline - chunkStart);
                byte[]? joined = null;
                if (pending.Count > 0)
                {
                    pending.AddRange(line.ToArray());
                    joined = pending.ToArray();
                    pending.Clear();
                    line = joined;
                }
                chunkStart = newline + 1;
                count++;
                if (line.SequenceEqual(markerBytes)) return count;
                if (line.StartsWith(report)) LastAllocationReport = Encoding.UTF8.GetString(line[report.Length..]);
            }
            throw new InvalidOperationException($"The host ended before {marker}.");
        }
    }
}
