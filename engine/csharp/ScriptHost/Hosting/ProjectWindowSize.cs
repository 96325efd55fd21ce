using System.Text.Json;

namespace Orvane.Hosting;

// The window size project.json asks for, read as the runtime reads it: the size a
// version-1 runtime opens the window with, since it never tells the host.
internal static class ProjectWindowSize
{
    internal const int DefaultWidth = 1280;
    internal const int DefaultHeight = 720;

    // Null when project.json cannot be read: then the size stays unknown (0).
    internal static (int Width, int Height)? Read(string projectFolder)
    {
        int width = DefaultWidth;
        int height = DefaultHeight;
        try
        {
            using JsonDocument document = JsonDocument.Parse(File.ReadAllBytes(Path.Combine(projectFolder, "project.json")));
            if (document.RootElement.ValueKind == JsonValueKind.Object)
            {
                width = Positive(document.RootElement, "width", width);
                height = Positive(document.RootElement, "height", height);
            }
        }
        catch (Exception exception) when (exception is IOException or UnauthorizedAccessException or JsonException or ArgumentException)
        {
            return null;
        }
        return (width, height);
    }

    private static int Positive(JsonElement root, string name, int fallback) =>
        root.TryGetProperty(name, out JsonElement value) && value.ValueKind == JsonValueKind.Number
            && value.TryGetInt32(out int number) && number > 0
            ? number
            : fallback;
}
