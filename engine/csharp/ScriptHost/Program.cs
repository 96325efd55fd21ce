using System.Text;
using Orvane.Hosting;

namespace Orvane;

// Entry point of the script host:
//   dotnet Orvane.ScriptHost.dll <game assembly> <main class> <project folder> <start scene>
// Standard input and output carry the line protocol.
internal static class Program
{
    private static int Main(string[] args)
    {
        var output = new ProtocolWriter(Console.OpenStandardOutput());
        HostContext.Attach(output);
        Console.SetOut(new LogTextWriter(output, LogLevel.Info));
        Console.SetError(new LogTextWriter(output, LogLevel.Error));
        try
        {
            if (args.Length != 4)
            {
                output.Error($"Expected 4 arguments (game assembly, main class, project folder, start scene), got {args.Length}.");
                return 1;
            }
            if (!GameLoader.TryCreate(args[0], args[1], out Game? game, out string error))
            {
                output.Error(error);
                return 1;
            }
            game.ProjectFolder = args[2];
            WarmUp.Run(game);
            using var stdin = new StreamReader(Console.OpenStandardInput(), new UTF8Encoding(false));
            return new HostLoop(game, args[3], output).Run(stdin);
        }
        catch (IOException)
        {
            // The runtime closed the pipes; nobody is left to tell.
            return 1;
        }
        finally
        {
            try
            {
                output.Flush();
            }
            catch (IOException)
            {
            }
        }
    }
}
