#!/usr/bin/env node
// Writes the scene files that the scene-file reader must refuse (and one
// small one, written by hand rather than by our writer, that it must
// accept) into this folder. The files are committed; run this again only to
// change them:  node tests/data/scenes/make-bad-scenes.mjs
import { writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { deflateSync } from 'node:zlib';

const here = dirname(fileURLToPath(import.meta.url));
const ours = 'SCRAWLET_drawing';

// --- GLB and PNG by hand -------------------------------------------------

function u32(value) {
  const b = Buffer.alloc(4);
  b.writeUInt32LE(value >>> 0);
  return b;
}

function pad(buffer, byte) {
  const extra = (4 - (buffer.length % 4)) % 4;
  return Buffer.concat([buffer, Buffer.alloc(extra, byte)]);
}

function glb(jsonText, bin) {
  const json = pad(Buffer.from(jsonText, 'utf8'), 0x20);
  const parts = [u32(json.length), u32(0x4e4f534a), json];
  if (bin) {
    const data = pad(bin, 0);
    parts.push(u32(data.length), u32(0x004e4942), data);
  }
  const body = Buffer.concat(parts);
  return Buffer.concat([Buffer.from('glTF'), u32(2), u32(12 + body.length), body]);
}

const crcTable = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});
function crc32(buffer) {
  let c = 0xffffffff;
  for (const byte of buffer) c = crcTable[(c ^ byte) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function pngChunk(type, data) {
  const length = Buffer.alloc(4);
  length.writeUInt32BE(data.length);
  const typed = Buffer.concat([Buffer.from(type, 'ascii'), data]);
  const crc = Buffer.alloc(4);
  crc.writeUInt32BE(crc32(typed));
  return Buffer.concat([length, typed, crc]);
}

// A PNG whose header claims `width` × `height` RGBA pixels; its data holds
// `rows` as given (straight alpha), which need not match the claim.
function png(width, height, rows) {
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header[8] = 8; // bits per component
  header[9] = 6; // RGBA
  const raw = Buffer.concat(rows.map((row) => Buffer.concat([Buffer.from([0]), Buffer.from(row)])));
  return Buffer.concat([
    Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    pngChunk('IHDR', header),
    pngChunk('IDAT', deflateSync(raw)),
    pngChunk('IEND', Buffer.alloc(0)),
  ]);
}

// --- A small drawing, made by hand ---------------------------------------

// Two red-and-blue pixels over two transparent ones.
const picture = png(2, 2, [
  [255, 0, 0, 255, 0, 0, 255, 255],
  [0, 0, 0, 0, 0, 0, 0, 0],
]);

// A root node holding a container and a sprite; the container holds a
// second sprite. Returns the document and its binary chunk, to be changed
// by each bad variant.
function drawing() {
  const f = (values) => Buffer.from(new Float32Array(values).buffer);
  const positions = f([-0.05, -0.05, 0, 0.05, -0.05, 0, 0.05, 0.05, 0, -0.05, 0.05, 0]);
  const normals = f([0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1]);
  const uvs = f([0, 1, 1, 1, 1, 0, 0, 0]);
  const indices = Buffer.from(new Uint16Array([0, 1, 2, 0, 2, 3]).buffer);
  const pieces = [positions, normals, uvs, indices, picture];
  const views = [];
  let offset = 0;
  const chunks = [];
  for (const piece of pieces) {
    const padded = pad(piece, 0);
    views.push({ buffer: 0, byteOffset: offset, byteLength: piece.length });
    chunks.push(padded);
    offset += padded.length;
  }
  const bin = Buffer.concat(chunks);
  const document = {
    asset: { version: '2.0', generator: 'make-bad-scenes' },
    extensionsUsed: [ours],
    extensions: { [ours]: { version: 1 } },
    scene: 0,
    scenes: [{ nodes: [0] }],
    nodes: [
      { children: [1, 2] },
      { translation: [0, 1, 0], children: [3], extensions: { [ours]: { opacity: 0.5 } } },
      {
        mesh: 0,
        translation: [0.25, 0, -1],
        rotation: [0, 0.7071067811865476, 0, 0.7071067811865476],
        extensions: { [ours]: { rotation: [0, 2, 0, 1.5707963705062866], constraints: [{ type: 'billboard', freeAxes: 7 }] } },
      },
      { mesh: 0, translation: [0, 0, -2] },
    ],
    meshes: [
      {
        primitives: [{ attributes: { POSITION: 0, NORMAL: 1, TEXCOORD_0: 2 }, indices: 3, material: 0 }],
        extensions: { [ours]: { width: 0.1, height: 0.1 } },
      },
    ],
    materials: [
      {
        alphaMode: 'BLEND',
        pbrMetallicRoughness: { baseColorTexture: { index: 0 }, metallicFactor: 0 },
      },
    ],
    textures: [{ source: 0, extensions: { [ours]: { imageScale: 2, imageOrientation: 'up' } } }],
    images: [{ bufferView: 4, mimeType: 'image/png' }],
    accessors: [
      { bufferView: 0, componentType: 5126, count: 4, type: 'VEC3', min: [-0.05, -0.05, 0], max: [0.05, 0.05, 0] },
      { bufferView: 1, componentType: 5126, count: 4, type: 'VEC3' },
      { bufferView: 2, componentType: 5126, count: 4, type: 'VEC2' },
      { bufferView: 3, componentType: 5123, count: 6, type: 'SCALAR' },
    ],
    bufferViews: views,
    buffers: [{ byteLength: bin.length }],
  };
  return { document, bin };
}

function drawingWith(change) {
  const { document, bin } = drawing();
  const result = change(document, bin) ?? bin;
  return glb(JSON.stringify(document), result);
}

function withPicture(document, bin, replacement) {
  const view = document.bufferViews[4];
  const before = bin.subarray(0, view.byteOffset);
  view.byteLength = replacement.length;
  const out = Buffer.concat([before, pad(replacement, 0)]);
  document.buffers[0].byteLength = out.length;
  return out;
}

// A deterministic stream of bytes, so the committed files do not change
// when this runs again.
function noise(length, seed) {
  const out = Buffer.alloc(length);
  let x = seed >>> 0;
  for (let i = 0; i < length; i++) {
    x ^= x << 13;
    x >>>= 0;
    x ^= x >>> 17;
    x ^= x << 5;
    x >>>= 0;
    out[i] = x & 0xff;
  }
  return out;
}

// --- The files ------------------------------------------------------------

const files = {};
const good = drawingWith(() => {});
files['minimal.glb'] = good;

files['empty.glb'] = Buffer.alloc(0);
files['garbage.glb'] = noise(4096, 12345);
files['truncated.glb'] = good.subarray(0, Math.floor(good.length * 0.6));
files['bad-magic.glb'] = Buffer.concat([Buffer.from('glTX'), good.subarray(4)]);
files['bad-version.glb'] = Buffer.concat([good.subarray(0, 4), u32(1), good.subarray(8)]);
files['length-mismatch.glb'] = Buffer.concat([good.subarray(0, 8), u32(good.length + 4096), good.subarray(12)]);
{
  // The JSON chunk claims far more bytes than the file has.
  const b = Buffer.from(good);
  b.writeUInt32LE(0x7ffffff0, 12);
  files['chunk-overrun.glb'] = b;
}
{
  // The binary chunk claims more bytes than are left.
  const b = Buffer.from(good);
  const jsonLength = b.readUInt32LE(12);
  b.writeUInt32LE(b.readUInt32LE(20 + jsonLength) + 64, 20 + jsonLength);
  files['bin-overrun.glb'] = b;
}
files['json-invalid.glb'] = glb('{"asset": {"version": "2.0"}, "nodes": [ { ', null);
{
  // 100 000 arrays inside each other: a recursive parser's stack ends long
  // before the bottom.
  const { document, bin } = drawing();
  document.extras = '@DEEP@';
  const text = JSON.stringify(document).replace('"@DEEP@"', '['.repeat(100000) + ']'.repeat(100000));
  files['json-deep.glb'] = glb(text, bin);
}
files['huge-count.glb'] = drawingWith((d) => {
  for (let i = 0; i < 300000; i++) d.nodes.push({});
});
files['node-deep.glb'] = drawingWith((d) => {
  // A chain of 5000 containers under the root.
  const first = d.nodes.length;
  d.nodes[0].children.push(first);
  for (let i = 0; i < 5000; i++) d.nodes.push(i + 1 < 5000 ? { children: [first + i + 1] } : {});
});
files['node-cycle.glb'] = drawingWith((d) => {
  // Two nodes outside the scene, each the other's child.
  const a = d.nodes.length;
  d.nodes.push({ children: [a + 1] }, { children: [a] });
});
files['node-two-parents.glb'] = drawingWith((d) => {
  d.nodes[2].children = [3];
});
files['node-listed-twice.glb'] = drawingWith((d) => {
  d.nodes[0].children = [1, 1, 2];
});
files['node-self-child.glb'] = drawingWith((d) => {
  d.nodes[3].children = [3];
});
files['root-is-child.glb'] = drawingWith((d) => {
  d.nodes[3].children = [0];
});
files['index-out-of-range.glb'] = drawingWith((d) => {
  d.nodes[2].mesh = 7;
});
files['index-wraps.glb'] = glb(
  // 4294967297 becomes 1 when cut to 32 bits; it must be refused, not
  // taken for node 1.
  JSON.stringify(drawing().document).replace('"children":[1,2]', '"children":[4294967297,2]'),
  drawing().bin,
);
files['index-negative.glb'] = drawingWith((d) => {
  d.materials[0].pbrMetallicRoughness.baseColorTexture.index = -1;
});
files['accessor-overrun.glb'] = drawingWith((d) => {
  d.accessors[0].count = 1000000;
});
files['bufferview-overrun.glb'] = drawingWith((d) => {
  // The picture's view starts far beyond the buffer.
  d.bufferViews[4].byteOffset = 0x7fff0000;
});
files['external-buffer.glb'] = drawingWith((d) => {
  d.buffers[0].uri = '../../../../../../etc/passwd';
});
files['external-image.glb'] = drawingWith((d) => {
  d.images[0] = { uri: '/etc/passwd' };
});
files['image-huge.glb'] = drawingWith((d, bin) =>
  // The header claims 100 000 × 100 000 pixels (40 GB decoded); the data
  // behind it is two rows.
  withPicture(d, bin, png(100000, 100000, [[0, 0, 0, 0], [0, 0, 0, 0]])),
);
files['image-bomb.glb'] = drawingWith((d, bin) => {
  // Four sprites with pictures of 8192 × 8192 pixels each (a gigabyte
  // decoded), whose data is two rows: refused by their headers, before
  // any is decoded.
  const bomb = png(8192, 8192, [[0, 0, 0, 0], [0, 0, 0, 0]]);
  const out = withPicture(d, bin, bomb);
  for (let k = 1; k < 4; k++) {
    d.images.push({ bufferView: 4, mimeType: 'image/png' });
    d.textures.push({ source: k });
    d.materials.push({ pbrMetallicRoughness: { baseColorTexture: { index: k } } });
    d.meshes.push({ ...d.meshes[0], primitives: [{ ...d.meshes[0].primitives[0], material: k }] });
    d.nodes.push({ mesh: k });
    d.nodes[0].children.push(d.nodes.length - 1);
  }
  return out;
});
files['image-over-cap.glb'] = drawingWith((d, bin) =>
  // One pixel wider than any picture the app saves.
  withPicture(d, bin, png(4097, 1, [Array(4097 * 4).fill(255)])),
);
files['repeated-nodes.glb'] = glb(
  // A second list of nodes would add to the first beyond its limit.
  JSON.stringify(drawing().document).replace('"nodes":[{', '"nodes":[{}],"nodes":[{'),
  drawing().bin,
);
files['image-garbage.glb'] = drawingWith((d, bin) => withPicture(d, bin, noise(256, 777)));
files['image-damaged.glb'] = drawingWith((d, bin) => {
  // A real header for 64 × 64 pixels, then only a few bytes of data.
  const whole = png(64, 64, Array.from({ length: 64 }, () => Array(256).fill(200)));
  return withPicture(d, bin, whole.subarray(0, 60));
});
files['foreign.glb'] = drawingWith((d) => {
  // A valid glTF file that another program wrote: none of our extension.
  delete d.extensions;
  d.extensionsUsed = [];
  delete d.nodes[1].extensions;
  delete d.nodes[2].extensions;
  delete d.meshes[0].extensions;
  delete d.textures[0].extensions;
});
files['newer-layout.glb'] = drawingWith((d) => {
  d.extensions[ours].version = 3;
});
files['required-extension.glb'] = drawingWith((d) => {
  d.extensionsRequired = ['KHR_draco_mesh_compression'];
});
files['huge-number.glb'] = glb(
  JSON.stringify(drawing().document).replace('"translation":[0.25,0,-1]', '"translation":[1e300,0,-1]'),
  drawing().bin,
);
files['bad-scale.glb'] = drawingWith((d) => {
  d.textures[0].extensions[ours].imageScale = 0;
});
files['unknown-constraint.glb'] = drawingWith((d) => {
  d.nodes[2].extensions[ours].constraints = [{ type: 'lookAt' }];
});

for (const [name, bytes] of Object.entries(files)) writeFileSync(join(here, name), bytes);
console.log(`wrote ${Object.keys(files).length} files to ${here}`);
