namespace Orvane;

/// <summary>Mouse buttons; the values are those of the protocol.</summary>
public enum MouseButton
{
    /// <summary>The primary button.</summary>
    Left = 1,

    /// <summary>The secondary button.</summary>
    Right = 2,

    /// <summary>The wheel button.</summary>
    Middle = 3,

    /// <summary>The first extra button (often "back").</summary>
    Extra1 = 4,

    /// <summary>The second extra button (often "forward").</summary>
    Extra2 = 5,
}
