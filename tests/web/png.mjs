// Reads the PNG pictures Chromium's screenshots are (8 bits a channel, RGB
// or RGBA, not interlaced), so that tests can look at pixels without
// another package.
import { inflateSync } from 'node:zlib';

export class PNG {
  constructor(width, height, channels, pixels) {
    Object.assign(this, { width, height, channels, pixels });
  }

  // [r, g, b, a] at (x, y).
  pixel(x, y) {
    const at = (y * this.width + x) * this.channels;
    const p = this.pixels;
    return [p[at], p[at + 1], p[at + 2], this.channels === 4 ? p[at + 3] : 255];
  }

  static read(bytes) {
    if (bytes.readUInt32BE(0) !== 0x89504e47) throw new Error('not a PNG picture');
    let offset = 8, width = 0, height = 0, channels = 0;
    const data = [];
    while (offset < bytes.length) {
      const length = bytes.readUInt32BE(offset);
      const type = bytes.toString('ascii', offset + 4, offset + 8);
      const body = bytes.subarray(offset + 8, offset + 8 + length);
      if (type === 'IHDR') {
        width = body.readUInt32BE(0);
        height = body.readUInt32BE(4);
        const [depth, colour, , , interlace] = body.subarray(8, 13);
        channels = { 2: 3, 6: 4 }[colour];
        if (depth !== 8 || !channels || interlace) throw new Error('an unexpected kind of PNG');
      } else if (type === 'IDAT') {
        data.push(body);
      }
      offset += 12 + length;
    }
    const raw = inflateSync(Buffer.concat(data));
    const stride = width * channels;
    const pixels = new Uint8Array(height * stride);
    for (let y = 0; y < height; ++y) {
      const filter = raw[y * (stride + 1)];
      const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
      for (let x = 0; x < stride; ++x) {
        const left = x >= channels ? pixels[y * stride + x - channels] : 0;
        const up = y > 0 ? pixels[(y - 1) * stride + x] : 0;
        const corner = x >= channels && y > 0 ? pixels[(y - 1) * stride + x - channels] : 0;
        let predicted = 0;
        if (filter === 1) predicted = left;
        else if (filter === 2) predicted = up;
        else if (filter === 3) predicted = (left + up) >> 1;
        else if (filter === 4) {
          const p = left + up - corner;
          const [a, b, c] = [Math.abs(p - left), Math.abs(p - up), Math.abs(p - corner)];
          predicted = a <= b && a <= c ? left : b <= c ? up : corner;
        }
        pixels[y * stride + x] = (line[x] + predicted) & 0xff;
      }
    }
    return new PNG(width, height, channels, pixels);
  }
}

// Pixels around (cx, cy) that differ between two pictures by more than 20
// in some channel: where something was drawn, or taken away. (Emoji come
// in every colour, grey koalas too, so what counts is the change; a teal
// whale over the blue window changes few pixels by more than 40, and the
// pictures compared are drawn alike wherever nothing changed.)
export function changedAround(a, b, [cx, cy], half = 10) {
  let count = 0;
  for (let y = Math.round(cy - half); y < cy + half; ++y)
    for (let x = Math.round(cx - half); x < cx + half; ++x) {
      const p = a.pixel(x, y), q = b.pixel(x, y);
      if (Math.max(...[0, 1, 2].map((i) => Math.abs(p[i] - q[i]))) > 20) ++count;
    }
  return count;
}
