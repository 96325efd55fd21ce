using System.Diagnostics.CodeAnalysis;
using System.Reflection;

namespace Orvane.Hosting;

// Finds and creates the game's main class. Every failure comes back as one
// readable message for an ERROR line.
internal static class GameLoader
{
    internal static bool TryCreate(string assemblyPath, string mainClass, [NotNullWhen(true)] out Game? game, out string error)
    {
        game = null;
        string fullPath = Path.GetFullPath(assemblyPath);
        if (!File.Exists(fullPath))
        {
            error = $"Game assembly not found: {fullPath}";
            return false;
        }

        Assembly assembly;
        try
        {
            assembly = new GameLoadContext(fullPath).LoadFromAssemblyPath(fullPath);
        }
        catch (Exception exception) when (exception is BadImageFormatException or FileLoadException or IOException)
        {
            error = $"Could not load game assembly {fullPath}: {exception.Message}";
            return false;
        }

        Type? type;
        try
        {
            type = assembly.GetType(mainClass, throwOnError: false);
        }
        catch (Exception exception) when (exception is ArgumentException or FileNotFoundException or FileLoadException or BadImageFormatException or TypeLoadException)
        {
            error = $"Could not read main class \"{mainClass}\" from {fullPath}: {exception.Message}";
            return false;
        }
        if (type == null)
        {
            error = $"Main class \"{mainClass}\" was not found in {fullPath} (give its full name, namespace included).";
            return false;
        }
        if (!type.IsSubclassOf(typeof(Game)))
        {
            error = $"Main class \"{mainClass}\" does not derive from {typeof(Game).FullName}.";
            return false;
        }
        if (type.IsAbstract || type.GetConstructor(Type.EmptyTypes) == null)
        {
            error = $"Main class \"{mainClass}\" must be a non-abstract class with a public parameterless constructor.";
            return false;
        }

        try
        {
            game = Activator.CreateInstance(type) as Game;
        }
        catch (TargetInvocationException exception) when (exception.InnerException != null)
        {
            Exception inner = exception.InnerException;
            error = $"Main class \"{mainClass}\" could not be created: {inner.GetType().Name}: {inner.Message}";
            return false;
        }
        if (game == null)
        {
            error = $"Main class \"{mainClass}\" could not be created.";
            return false;
        }
        error = "";
        return true;
    }
}
