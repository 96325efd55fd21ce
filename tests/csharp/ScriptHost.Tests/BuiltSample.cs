using System.Diagnostics;

namespace Orvane.Tests;

// The BasicGame sample as built by dotnet build (the test script builds it first; a
// missing build is made here so the tests also run on their own).
internal static class BuiltSample
{
    private static readonly Lazy<string> Dll = new(BuildIfMissing);

    public static string BasicGameDll => Dll.Value;

    private static string BuildIfMissing()
    {
        string dll = RepositoryPaths.BasicGameDll;
        if (File.Exists(dll) && File.Exists(RepositoryPaths.ScriptHostDll))
        {
            return dll;
        }
        var start = new ProcessStartInfo("dotnet")
        {
            ArgumentList = { "build", Path.Combine(RepositoryPaths.BasicGameFolder, "BasicGame.csproj"), "-nologo", "-v", "q" },
            RedirectStandardOutput = true,
            RedirectStandardError = true,
        };
        using Process build = Process.Start(start)!;
        Task<string> output = build.StandardOutput.ReadToEndAsync();
        Task<string> errors = build.StandardError.ReadToEndAsync();
        build.WaitForExit();
        if (build.ExitCode != 0 || !File.Exists(dll))
        {
            throw new InvalidOperationException($"Building BasicGame failed:\n{output.Result}\n{errors.Result}");
        }
        return dll;
    }
}
