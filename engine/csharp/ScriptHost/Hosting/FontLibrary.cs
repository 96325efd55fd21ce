namespace Orvane.Hosting;

// The fonts text is measured with: the default font (DejaVu Sans, embedded in this
// assembly; the runtime ships the same file) and the project's own fonts, each read
// once per session. A font that is missing or broken is measured with the default
// font after one warning, as the runtime draws it.
internal sealed class FontLibrary
{
    private const string DefaultFontResource = "Orvane.Fonts.DejaVuSans.ttf";

    private static readonly Lazy<TrueTypeFont> DefaultFont = new(LoadDefaultFont);

    private readonly Dictionary<string, TrueTypeFont> projectFonts = new(StringComparer.Ordinal);
    private readonly ProtocolWriter output;

    internal FontLibrary(ProtocolWriter output)
    {
        this.output = output;
    }

    // Font paths are relative to this folder (empty: the current directory).
    internal string ProjectFolder { get; set; } = "";

    internal static TrueTypeFont Default => DefaultFont.Value;

    // path null or empty: the default font.
    internal TrueTypeFont Get(string? path)
    {
        if (string.IsNullOrEmpty(path))
        {
            return Default;
        }
        if (!projectFonts.TryGetValue(path, out TrueTypeFont? font))
        {
            font = Load(path);
            projectFonts.Add(path, font);
        }
        return font;
    }

    private TrueTypeFont Load(string path)
    {
        string fullPath = Path.Combine(ProjectFolder, path);
        try
        {
            if (TrueTypeFont.TryLoad(File.ReadAllBytes(fullPath), out TrueTypeFont? font, out _))
            {
                return font;
            }
        }
        catch (Exception exception) when (exception is IOException or UnauthorizedAccessException or ArgumentException or NotSupportedException)
        {
            // Reported below like a broken file: the runtime cannot use it either.
        }
        output.Log(LogLevel.Warn, "Font could not be loaded: " + path);
        return Default;
    }

    private static TrueTypeFont LoadDefaultFont()
    {
        using Stream stream = typeof(FontLibrary).Assembly.GetManifestResourceStream(DefaultFontResource)
            ?? throw new InvalidOperationException($"The script host lacks its embedded font {DefaultFontResource}.");
        var data = new byte[stream.Length];
        stream.ReadExactly(data);
        if (!TrueTypeFont.TryLoad(data, out TrueTypeFont? font, out string problem))
        {
            throw new InvalidOperationException($"The embedded default font cannot be read: {problem}");
        }
        return font;
    }
}
