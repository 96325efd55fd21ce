using System.Reflection;
using System.Runtime.Loader;

namespace Orvane.Hosting;

// Loads a game assembly and the dependencies that lie next to it (as its .deps.json
// names them), isolated from the host. The host's own assembly is always taken from
// the default context, even when the game's folder carries a copy: otherwise the
// game's Orvane.Game would be a different type from the host's.
internal sealed class GameLoadContext : AssemblyLoadContext
{
    private static readonly string HostAssemblyName = typeof(Game).Assembly.GetName().Name ?? "Orvane.ScriptHost";

    private readonly AssemblyDependencyResolver? resolver;
    private readonly string folder;

    internal GameLoadContext(string mainAssemblyPath)
        : base("Game: " + Path.GetFileNameWithoutExtension(mainAssemblyPath))
    {
        folder = Path.GetDirectoryName(mainAssemblyPath) ?? ".";
        try
        {
            resolver = new AssemblyDependencyResolver(mainAssemblyPath);
        }
        catch (InvalidOperationException)
        {
            // No usable .deps.json next to the game; fall back to its folder.
            resolver = null;
        }
    }

    protected override Assembly? Load(AssemblyName assemblyName)
    {
        if (string.Equals(assemblyName.Name, HostAssemblyName, StringComparison.OrdinalIgnoreCase))
        {
            return null;
        }
        string? path = resolver?.ResolveAssemblyToPath(assemblyName);
        if (path == null && assemblyName.Name != null)
        {
            string candidate = Path.Combine(folder, assemblyName.Name + ".dll");
            // Framework assemblies are left to the default context.
            if (File.Exists(candidate) && !IsInDefaultContext(assemblyName))
            {
                path = candidate;
            }
        }
        return path != null ? LoadFromAssemblyPath(path) : null;
    }

    protected override IntPtr LoadUnmanagedDll(string unmanagedDllName)
    {
        string? path = resolver?.ResolveUnmanagedDllToPath(unmanagedDllName);
        return path != null ? LoadUnmanagedDllFromPath(path) : IntPtr.Zero;
    }

    private static bool IsInDefaultContext(AssemblyName assemblyName) =>
        Default.Assemblies.Any(a => string.Equals(a.GetName().Name, assemblyName.Name, StringComparison.OrdinalIgnoreCase));
}
