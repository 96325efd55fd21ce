using System.Text;

namespace Orvane.Hosting;

// Stands in for Console.Out and Console.Error in the host process, so that text a
// game prints becomes log lines instead of corrupting the protocol stream.
internal sealed class LogTextWriter : TextWriter
{
    private readonly ProtocolWriter output;
    private readonly LogLevel level;
    private readonly StringBuilder pending = new();

    internal LogTextWriter(ProtocolWriter output, LogLevel level)
    {
        this.output = output;
        this.level = level;
    }

    public override Encoding Encoding => Encoding.UTF8;

    public override void Write(char value)
    {
        if (value == '\n')
        {
            EmitPending();
        }
        else if (value != '\r')
        {
            pending.Append(value);
        }
    }

    // Unfinished text is sent too, so a Console.Write without a line end is not lost
    // when the frame's reply goes out.
    public override void Flush()
    {
        if (pending.Length > 0)
        {
            EmitPending();
        }
    }

    private void EmitPending()
    {
        output.Log(level, pending.ToString());
        pending.Clear();
    }
}
