namespace Orvane;

/// <summary>The room a text takes when drawn, in pixels (whole numbers).</summary>
/// <param name="Width">Width of the widest line.</param>
/// <param name="Height">Number of lines times the line height.</param>
public readonly record struct TextSize(float Width, float Height);
