using Orvane.Hosting;

namespace Orvane;

/// <summary>
/// Returned by <see cref="Draw.Screen"/>: while it is open, drawing is in window pixels,
/// untouched by the camera and its zoom. Dispose it (a <c>using</c> block) to go back
/// to world space. Scopes nest; only the outermost one switches.
/// </summary>
public readonly struct ScreenSpaceScope : IDisposable
{
    private readonly ProtocolWriter? output;
    private readonly int frame;
    private readonly int depth;

    internal ScreenSpaceScope(ProtocolWriter output, int frame, int depth)
    {
        this.output = output;
        this.frame = frame;
        this.depth = depth;
    }

    /// <summary>Ends this scope (and any inner one left open). Closing it again does nothing.</summary>
    public void Dispose() => output?.LeaveScreenSpace(frame, depth);
}
