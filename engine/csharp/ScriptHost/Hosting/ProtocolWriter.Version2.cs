using System.Text;

namespace Orvane.Hosting;

// The version-2 drawing: opacity, outlines, lines, sprite options, text, zoom and
// screen space. A version-1 runtime has no line that draws any of these, so there they
// are left out, with one warning per feature and run: never a line that draws
// something else.
internal sealed partial class ProtocolWriter
{
    private const float MaxThickness = 1024;

    private readonly HashSet<string> reportedFontPaths = new(StringComparer.Ordinal);
    private Feature reportedFeatures;
    private bool reportedLongText;
    private int screenDepth;
    private int frameNumber;

    [Flags]
    private enum Feature
    {
        Opacity = 1,
        SpriteSource = 2,
        SpriteRotation = 4,
        SpriteFlip = 8,
        SpriteTint = 16,
        Text = 32,
        Lines = 64,
        Outlines = 128,
        Zoom = 256,
        ScreenSpace = 512,
    }

    // Every frame starts in world space, on both sides.
    internal void BeginFrame()
    {
        screenDepth = 0;
        frameNumber++;
    }

    // Only the outermost scope switches; a scope left open in an earlier frame, or
    // closed twice, changes nothing.
    internal ScreenSpaceScope EnterScreenSpace()
    {
        screenDepth++;
        if (screenDepth == 1 && Version >= 2)
        {
            Line("SPACE|screen");
        }
        return new ScreenSpaceScope(this, frameNumber, screenDepth);
    }

    internal void LeaveScreenSpace(int frame, int depth)
    {
        if (frame != frameNumber || screenDepth < depth)
        {
            return;
        }
        screenDepth = depth - 1;
        if (screenDepth == 0 && Version >= 2)
        {
            Line("SPACE|world");
        }
    }

    internal void Fill(float x, float y, float width, float height, Color color)
    {
        if (LeftOut(Feature.Opacity) | LeftOutOfScreenSpace())
        {
            return;
        }
        if (!AllFinite(x, y, width, height))
        {
            ReportNonFinite("FILL");
            return;
        }
        buffer.Append("FILL|"u8);
        WriteBox(x, y, width, height);
        WriteColorAlpha(color);
        buffer.EndLine();
    }

    internal void Outline(float x, float y, float width, float height, float thickness, Color color)
    {
        if (LeftOut(Feature.Outlines) || !IsDrawnThickness(thickness, "OUTLINE"))
        {
            return;
        }
        if (!AllFinite(x, y, width, height))
        {
            ReportNonFinite("OUTLINE");
            return;
        }
        buffer.Append("OUTLINE|"u8);
        WriteBox(x, y, width, height);
        buffer.Append((byte)'|');
        WriteFloat(Math.Min(thickness, MaxThickness));
        WriteColorAlpha(color);
        buffer.EndLine();
    }

    internal void LineSegment(float x1, float y1, float x2, float y2, float thickness, Color color)
    {
        if (LeftOut(Feature.Lines) || !IsDrawnThickness(thickness, "LINE"))
        {
            return;
        }
        if (!AllFinite(x1, y1, x2, y2))
        {
            ReportNonFinite("LINE");
            return;
        }
        buffer.Append("LINE|"u8);
        WriteBox(x1, y1, x2, y2);
        buffer.Append((byte)'|');
        WriteFloat(Math.Min(thickness, MaxThickness));
        WriteColorAlpha(color);
        buffer.EndLine();
    }

    // Default options are the plain SPRITE| line, which both versions draw.
    internal void Image(string path, float x, float y, float width, float height, in SpriteOptions options)
    {
        Color tint = options.Tint;
        byte alpha = options.Alpha;
        bool tinted = tint.R != 255 || tint.G != 255 || tint.B != 255;
        if (!options.HasSource && !options.IsTurned && options.FlipCode == 0 && !tinted && alpha == 255)
        {
            Sprite(path, x, y, width, height, options.Fallback);
            return;
        }
        if (!IsSendablePath(path))
        {
            ReportUnsendablePath(path);
            DrawFallback(x, y, width, height, options, alpha);
            return;
        }
        if (Version < 2)
        {
            LeftOut(options.HasSource ? Feature.SpriteSource : 0);
            LeftOut(options.IsTurned ? Feature.SpriteRotation : 0);
            LeftOut(options.FlipCode != 0 ? Feature.SpriteFlip : 0);
            LeftOut(tinted ? Feature.SpriteTint : 0);
            LeftOut(alpha != 255 ? Feature.Opacity : 0);
            LeftOutOfScreenSpace();
            return;
        }
        float originX = options.Origin?.X ?? width / 2;
        float originY = options.Origin?.Y ?? height / 2;
        float sourceWidth = options.HasSource ? options.SourceWidth : 0;
        float sourceHeight = options.HasSource ? options.SourceHeight : 0;
        if (!AllFinite(x, y, width, height) || !AllFinite(options.SourceX, options.SourceY, sourceWidth, sourceHeight)
            || !AllFinite(options.Rotation, originX, originY, 0))
        {
            ReportNonFinite("IMAGE");
            return;
        }
        buffer.Append("IMAGE|"u8);
        WriteBox(x, y, width, height);
        buffer.Append((byte)'|');
        if (options.HasSource)
        {
            WriteBox(options.SourceX, options.SourceY, sourceWidth, sourceHeight);
        }
        else
        {
            buffer.Append("0|0|0|0"u8);
        }
        buffer.Append((byte)'|');
        WriteFloat(options.Rotation);
        buffer.Append((byte)'|');
        WriteFloat(originX);
        buffer.Append((byte)'|');
        WriteFloat(originY);
        buffer.Append((byte)'|');
        buffer.AppendInt(options.FlipCode);
        WriteColor(tint);
        buffer.Append((byte)'|');
        buffer.AppendInt(alpha);
        WriteColor(options.Fallback);
        buffer.Append((byte)'|');
        buffer.Append(path);
        buffer.EndLine();
    }

    // The text goes out as the runtime reads it: '\' as "\\", a line break as "\n",
    // '\r' dropped, cut to TextLayout.MaxBytes bytes on a character boundary.
    internal void Text(string? text, float x, float y, float size, Color color, string? font)
    {
        if (LeftOut(Feature.Text) | LeftOutOfScreenSpace())
        {
            return;
        }
        size = TextLayout.ClampSize(size);
        if (!AllFinite(x, y, size, 0))
        {
            ReportNonFinite("TEXT");
            return;
        }
        if (!string.IsNullOrEmpty(font) && !IsSendablePath(font))
        {
            if (reportedFontPaths.Add(font))
            {
                Log(LogLevel.Warn, $"Font path cannot be sent, using the default font instead: \"{font}\"");
            }
            font = null;
        }
        buffer.Append("TEXT|"u8);
        WriteFloat(x);
        buffer.Append((byte)'|');
        WriteFloat(y);
        buffer.Append((byte)'|');
        WriteFloat(size);
        WriteColorAlpha(color);
        buffer.Append((byte)'|');
        buffer.Append(font.AsSpan());
        buffer.Append((byte)'|');
        var runes = new WireRunes(text);
        while (runes.MoveNext(out Rune rune))
        {
            if (rune.Value == '\\')
            {
                buffer.Append("\\\\"u8);
            }
            else if (rune.Value == '\n')
            {
                buffer.Append("\\n"u8);
            }
            else
            {
                buffer.Append(rune);
            }
        }
        buffer.EndLine();
        if (runes.WasCut && !reportedLongText)
        {
            reportedLongText = true;
            Log(LogLevel.Warn, $"Cut a text to {TextLayout.MaxBytes} bytes of UTF-8 (further long texts are cut without a warning).");
        }
    }

    // factor is already kept in Camera's range.
    internal void Zoom(float factor)
    {
        if (LeftOut(Feature.Zoom))
        {
            return;
        }
        buffer.Append("ZOOM|"u8);
        WriteFloat(factor);
        buffer.EndLine();
    }

    // Writes "|r|g|b|a".
    private void WriteColorAlpha(Color color)
    {
        WriteColor(color);
        buffer.Append((byte)'|');
        buffer.AppendInt(color.A);
    }

    // Thickness 0 or less draws nothing; more than the runtime's limit is clamped.
    private bool IsDrawnThickness(float thickness, string keyword)
    {
        if (float.IsNaN(thickness))
        {
            ReportNonFinite(keyword);
            return false;
        }
        return thickness > 0;
    }

    // The fallback of an image whose path cannot be sent: its rectangle, and when it is
    // turned, the same rectangle as a line as thick as the sprite along its middle
    // (a line's square ends lie flush with its end points).
    private void DrawFallback(float x, float y, float width, float height, in SpriteOptions options, byte alpha)
    {
        Color color = options.Fallback.WithAlpha(alpha);
        if (!options.IsTurned)
        {
            Rect(x, y, width, height, color);
            return;
        }
        if (LeftOut(Feature.SpriteRotation))
        {
            return;
        }
        bool alongWidth = Math.Abs(height) <= MaxThickness;
        float thickness = Math.Abs(alongWidth ? height : width);
        if (thickness > MaxThickness)
        {
            return; // no line is that thick; too rare to draw another way
        }
        float originX = options.Origin?.X ?? width / 2;
        float originY = options.Origin?.Y ?? height / 2;
        (float startX, float startY, float endX, float endY) = alongWidth
            ? (0f, height / 2, width, height / 2)
            : (width / 2, 0f, width / 2, height);
        (double sin, double cos) = SinCosOfDegrees(options.Rotation);
        // Clockwise on screen, where y grows downwards.
        float TurnX(float px, float py) => (float)(x + originX + cos * (px - originX) - sin * (py - originY));
        float TurnY(float px, float py) => (float)(y + originY + sin * (px - originX) + cos * (py - originY));
        LineSegment(TurnX(startX, startY), TurnY(startX, startY), TurnX(endX, endY), TurnY(endX, endY), thickness, color);
    }

    // Quarter turns come out exact, so a sprite turned upright lands on whole pixels.
    private static (double Sin, double Cos) SinCosOfDegrees(float degrees)
    {
        double turn = degrees % 360.0;
        if (turn % 90 == 0)
        {
            int quarter = (int)(turn / 90 + 4) % 4;
            return quarter switch { 0 => (0, 1), 1 => (1, 0), 2 => (0, -1), _ => (-1, 0) };
        }
        return Math.SinCos(turn * Math.PI / 180);
    }

    // In version 1 a command in screen space would land in the world: left out.
    private bool LeftOutOfScreenSpace() => screenDepth > 0 && LeftOut(Feature.ScreenSpace);

    // True (after the feature's one warning) when the runtime cannot draw the feature.
    private bool LeftOut(Feature feature)
    {
        if (Version >= 2 || feature == 0)
        {
            return false;
        }
        if ((reportedFeatures & feature) == 0)
        {
            reportedFeatures |= feature;
            Log(LogLevel.Warn, $"The runtime speaks protocol version 1, which cannot draw {Describe(feature)}; such drawing is left out.");
        }
        return true;
    }

    private static string Describe(Feature feature) => feature switch
    {
        Feature.Opacity => "translucent colours",
        Feature.SpriteSource => "parts of images (sprite sheets)",
        Feature.SpriteRotation => "turned sprites",
        Feature.SpriteFlip => "mirrored sprites",
        Feature.SpriteTint => "tinted sprites",
        Feature.Text => "text",
        Feature.Lines => "lines",
        Feature.Outlines => "rectangle outlines",
        Feature.Zoom => "with a camera zoom",
        _ => "in screen space",
    };
}
