// A room for a fake camera to film: a wall with a window and a picture on
// it above a floor, as a still y4m video (the form Chromium's fake camera
// reads), and the colour each point of the room has, for tests to look for
// on the screen.
import { writeFileSync } from 'node:fs';

export const roomSize = { width: 640, height: 480 };

const wall = [70, 150, 120], floor = [150, 100, 50], sky = [120, 180, 230], picture = [200, 50, 160];

// The room's colour at pixel (x, y) of the picture.
export function roomColour(x, y) {
  if (x >= 80 && x < 240 && y >= 60 && y < 200) return sky;
  if (x >= 400 && x < 560 && y >= 100 && y < 220) return picture;
  return y < 288 ? wall : floor;
}

// Writes `frames` frames of the room to `path` (full-range BT.601 YUV
// 4:2:0, as the C420jpeg tag says).
export function writeRoomVideo(path, frames = 2) {
  const { width, height } = roomSize;
  const luma = Buffer.alloc(width * height), u = Buffer.alloc((width * height) / 4), v = Buffer.alloc((width * height) / 4);
  const clamp = (value) => Math.max(0, Math.min(255, Math.round(value)));
  for (let y = 0; y < height; ++y)
    for (let x = 0; x < width; ++x) {
      const [r, g, b] = roomColour(x, y);
      luma[y * width + x] = clamp(0.299 * r + 0.587 * g + 0.114 * b);
      if (x % 2 === 0 && y % 2 === 0) {
        const at = (y / 2) * (width / 2) + x / 2;
        u[at] = clamp(128 - 0.168736 * r - 0.331264 * g + 0.5 * b);
        v[at] = clamp(128 + 0.5 * r - 0.418688 * g - 0.081312 * b);
      }
    }
  const frame = Buffer.concat([Buffer.from('FRAME\n'), luma, u, v]);
  writeFileSync(path, Buffer.concat([
    Buffer.from(`YUV4MPEG2 W${width} H${height} F30:1 Ip A1:1 C420jpeg\n`),
    ...Array.from({ length: frames }, () => frame),
  ]));
}
