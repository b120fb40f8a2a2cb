#pragma once

// Width of the 180-pixel-high preview for a screen size: width/height*180 (ties
// to even) limited to 10..425; 240 when either side is 0, negative or not a number.
int PreviewWidthFor(double screenWidth, double screenHeight);
// Left edge of the preview centred in a box: (box - preview) / 2, truncated
// toward zero; negative when the box is narrower (the preview is cut both sides).
int PreviewLeftFor(int boxWidth, int previewWidth);
