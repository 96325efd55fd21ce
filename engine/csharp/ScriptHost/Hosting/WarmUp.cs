using System.Diagnostics;
using System.Reflection;
using System.Runtime.CompilerServices;

namespace Orvane.Hosting;

// Compiles the game's methods and the host's output paths before READY, while the
// runtime still allows seconds, so that the first frames are not slowed by the JIT
// past the runtime's per-frame limit.
internal static class WarmUp
{
    // The runtime waits 5 s for READY; a large game stops warming up well before that.
    private static readonly TimeSpan Budget = TimeSpan.FromSeconds(1);

    internal static void Run(Game game)
    {
        var clock = Stopwatch.StartNew();
        foreach (int version in new[] { 1, 2 })
        {
            var output = new ProtocolWriter(Stream.Null) { Version = version };
            output.BeginFrame();
            output.Rect(1.5f, 2, 3, 4, Color.White);
            output.Rect(1.5f, 2, 3, 4, Color.White.WithAlpha(128));
            output.DebugRect(1.5f, 2, 3, 4, Color.White);
            output.Sprite("warm-up.png", 1.5f, 2, 3, 4, Color.White);
            output.Image("warm-up.png", 1.5f, 2, 3, 4, SpriteOptions.Frame(1, 0, 2, 2) with { Rotation = 90, FlipX = true });
            output.Outline(1.5f, 2, 3, 4, 2, Color.White);
            output.LineSegment(1.5f, 2, 3, 4, 2, Color.White);
            using (output.EnterScreenSpace())
            {
                output.Text("warm-up\n", 1.5f, 2, 16, Color.White, null);
            }
            output.Collider(1, 1.5f, 2, 3, 4);
            output.Camera(1.5f, 2);
            output.Zoom(2);
            output.Log(LogLevel.Info, "warm-up");
            output.Flush();
        }
        // Also reads the embedded font, which the first measured text would wait for.
        TextLayout.Measure(FontLibrary.Default, "warm-up", 16);
        new InputState().NextFrame("37,65");

        const BindingFlags declared = BindingFlags.Public | BindingFlags.NonPublic | BindingFlags.Instance
            | BindingFlags.Static | BindingFlags.DeclaredOnly;
        Type[] types;
        try
        {
            types = game.GetType().Assembly.GetTypes();
        }
        catch (ReflectionTypeLoadException exception)
        {
            types = exception.Types.OfType<Type>().ToArray();
        }
        foreach (Type type in types)
        {
            if (clock.Elapsed > Budget)
            {
                return;
            }
            if (type.ContainsGenericParameters)
            {
                continue;
            }
            foreach (MethodBase method in type.GetMethods(declared).Cast<MethodBase>().Concat(type.GetConstructors(declared)))
            {
                if (method.IsAbstract || method.ContainsGenericParameters)
                {
                    continue;
                }
                try
                {
                    RuntimeHelpers.PrepareMethod(method.MethodHandle);
                }
                catch (Exception)
                {
                    // Only a head start: a method that cannot be prepared now is compiled on first use.
                }
            }
        }
    }
}
