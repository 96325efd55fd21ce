using Orvane.Hosting;

namespace Orvane;

/// <summary>Lines for the runtime's console. Line breaks in a message become spaces.</summary>
public static class Log
{
    /// <summary>An informational line.</summary>
    public static void Info(string message) => HostContext.Output.Log(LogLevel.Info, message);

    /// <summary>A warning line.</summary>
    public static void Warn(string message) => HostContext.Output.Log(LogLevel.Warn, message);

    /// <summary>An error line (the game keeps running).</summary>
    public static void Error(string message) => HostContext.Output.Log(LogLevel.Error, message);
}
