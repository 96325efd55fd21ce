using System.Diagnostics;
using System.Text;

namespace HostBench;

// Prints: time from process start to READY, and the reply time (FRAME line written to
// END_FRAME read) for frames of 1,000 and 10,000 rectangles.
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
            using var host = new Host(hostDll, 0);
            startTimes.Add(host.MillisecondsToReady);
            host.Stop();
        }
        Report("start to READY", startTimes);

        foreach (int lines in new[] { 1_000, 10_000 })
        {
            using var host = new Host(hostDll, lines);
            host.Exchange("START", "STARTED");
            for (int i = 0; i < 50; i++) host.Exchange("FRAME|0.0166667|", "END_FRAME");
            var times = new List<double>();
            int received = 0;
            for (int i = 0; i < 500; i++)
            {
                var clock = Stopwatch.StartNew();
                received = host.Exchange("FRAME|0.0166667|37,65", "END_FRAME");
                times.Add(clock.Elapsed.TotalMilliseconds);
            }
            host.Stop();
            Report($"frame of {lines:N0} rects ({received:N0} lines)", times);
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

        public Host(string hostDll, int linesPerFrame)
        {
            string self = typeof(BenchGame).Assembly.Location;
            var start = new ProcessStartInfo("dotnet")
            {
                ArgumentList = { hostDll, self, typeof(BenchGame).FullName!, AppContext.BaseDirectory, linesPerFrame.ToString() },
                RedirectStandardInput = true,
                RedirectStandardOutput = true,
                StandardOutputEncoding = new UTF8Encoding(false),
            };
            var clock = Stopwatch.StartNew();
            process = Process.Start(start)!;
            process.StandardInput.NewLine = "\n";
            ReadUntil("READY");
            MillisecondsToReady = clock.Elapsed.TotalMilliseconds;
        }

        public double MillisecondsToReady { get; }

        // Sends one line and reads up to the answer; returns the number of lines read.
        public int Exchange(string line, string answer)
        {
            process.StandardInput.WriteLine(line);
            process.StandardInput.Flush();
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

        private int ReadUntil(string marker)
        {
            int count = 0;
            string? line;
            while ((line = process.StandardOutput.ReadLine()) != null)
            {
                count++;
                if (line == marker) return count;
            }
            throw new InvalidOperationException($"The host ended before {marker}.");
        }
    }
}
