namespace Orvane.Hosting;

// The levels of a LOG| line; the names are the protocol's words.
internal enum LogLevel
{
    Info,
    Warn,
    Error,
}
