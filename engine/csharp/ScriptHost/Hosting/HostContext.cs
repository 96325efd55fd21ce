namespace Orvane.Hosting;

// Binds the static game API (Draw, Input, Log, ...) to the running host. One host
// runs per process; before one is attached, output goes nowhere.
internal static class HostContext
{
    private static readonly ProtocolWriter Nowhere = new(Stream.Null);

    internal static ProtocolWriter Output { get; private set; } = Nowhere;

    internal static InputState Input { get; private set; } = new();

    internal static FontLibrary Fonts { get; private set; } = new(Nowhere);

    // Attaching a new writer starts a fresh session: input, camera, debug switches and
    // project fonts go back to their initial state. Attaching the same writer again
    // keeps them, so a game constructor that runs before the loop may already set them.
    internal static void Attach(ProtocolWriter output)
    {
        if (ReferenceEquals(Output, output))
        {
            return;
        }
        Output = output;
        Input = new InputState();
        Fonts = new FontLibrary(output);
        Camera.Reset();
        Physics.Reset();
    }

    internal static void Detach(ProtocolWriter output)
    {
        if (ReferenceEquals(Output, output))
        {
            Output = Nowhere;
            Fonts = new FontLibrary(Nowhere);
        }
    }
}
