#pragma once

// A value between a and b (upper bound usually first): b + (a - b) x k / 32767 for k drawn
// uniformly from 0..32767, in single precision. Equals b when a == b.
float RandomRange(float a, float b);
