using System.Runtime.Loader;
using System.Text.Json.Nodes;
using Orvane.Hosting;

namespace Orvane.Tests;

public sealed class GameLoaderTests : IDisposable
{
    private readonly string folder = Directory.CreateTempSubdirectory("orvane-loader-").FullName;

    public void Dispose()
    {
        try
        {
            Directory.Delete(folder, recursive: true);
        }
        catch (UnauthorizedAccessException)
        {
            // Loaded assemblies may keep their files open on some platforms.
        }
    }

    [Fact]
    public void LoadsTheSampleInItsOwnContextSharingTheApi()
    {
        Assert.True(GameLoader.TryCreate(BuiltSample.BasicGameDll, "BasicGame.BasicGameMain", out Game? game, out string error), error);

        Assert.Equal("BasicGame.BasicGameMain", game!.GetType().FullName);
        Assert.NotSame(AssemblyLoadContext.Default, AssemblyLoadContext.GetLoadContext(game.GetType().Assembly));
    }

    // A game built with its own copy of the host next to it (and named in its
    // .deps.json) must still get the host's Orvane.Game, or no main class would fit.
    [Fact]
    public void ACopyOfTheHostNextToTheGameDoesNotShadowTheSharedOne()
    {
        string sampleFolder = Path.GetDirectoryName(BuiltSample.BasicGameDll)!;
        string gameDll = Path.Combine(folder, "BasicGame.dll");
        File.Copy(BuiltSample.BasicGameDll, gameDll);
        File.Copy(typeof(Game).Assembly.Location, Path.Combine(folder, "Orvane.ScriptHost.dll"));
        var deps = JsonNode.Parse(File.ReadAllText(Path.Combine(sampleFolder, "BasicGame.deps.json")))!;
        var target = deps["targets"]!.AsObject().First().Value!.AsObject();
        target["BasicGame/1.0.0"]!["dependencies"] = new JsonObject { ["Orvane.ScriptHost"] = "1.0.0" };
        target["Orvane.ScriptHost/1.0.0"] = new JsonObject { ["runtime"] = new JsonObject { ["Orvane.ScriptHost.dll"] = new JsonObject() } };
        deps["libraries"]!["Orvane.ScriptHost/1.0.0"] = new JsonObject { ["type"] = "project", ["serviceable"] = false, ["sha512"] = "" };
        File.WriteAllText(Path.Combine(folder, "BasicGame.deps.json"), deps.ToJsonString());

        Assert.True(GameLoader.TryCreate(gameDll, "BasicGame.BasicGameMain", out Game? game, out string error), error);
        Assert.IsAssignableFrom<Game>(game);
    }

    [Fact]
    public void ReportsEveryKindOfBadMainAssemblyOrClass()
    {
        string notAnAssembly = Path.Combine(folder, "Broken.dll");
        File.WriteAllText(notAnAssembly, "this is not an assembly");
        var cases = new (string Path, string Class, string Expected)[]
        {
            (Path.Combine(folder, "Missing.dll"), "X", "Game assembly not found: "),
            (folder, "X", "Game assembly not found: "),
            (notAnAssembly, "X", "Could not load game assembly "),
            (BuiltSample.BasicGameDll, "BasicGame.NoSuchClass", "Main class \"BasicGame.NoSuchClass\" was not found in "),
            (BuiltSample.BasicGameDll, "BasicGameMain", "was not found"),
            (BuiltSample.BasicGameDll, "BasicGame.Player", "Main class \"BasicGame.Player\" does not derive from Orvane.Game."),
        };

        foreach (var (path, mainClass, expected) in cases)
        {
            Assert.False(GameLoader.TryCreate(path, mainClass, out Game? game, out string error), path + " " + mainClass);
            Assert.Null(game);
            Assert.Contains(expected, error);
            Assert.DoesNotContain('\n', error);
        }
    }
}
