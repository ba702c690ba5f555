// The browser half of the Canvas 2D graphics back end (CanvasBackend.cpp):
// canvases are OffscreenCanvas objects kept in a table under small integer
// handles, text is laid out here (wrapped at word boundaries, colour emoji
// sized to the text's point size as the native back end does), and pixels
// cross into the program's memory as straight RGBA, which the C++ half
// premultiplies.

mergeInto(LibraryManager.library, {
  $ScrawletCanvas: {
    canvases: [null],

    // The label font "Noteworthy-Bold" has no free counterpart on the web;
    // these are the nearest the platforms have, with the browser's own
    // handwriting family last.
    families: function(name) {
      if (name === '') return { weight: '', list: 'system-ui, "DejaVu Sans", sans-serif' };
      if (name === 'Noteworthy-Bold')
        return {
          weight: 'bold ',
          list: '"Noteworthy", "Comic Neue", "Chalkboard SE", "Comic Sans MS", cursive',
        };
      return { weight: '', list: JSON.stringify(name) + ', sans-serif' };
    },

    // Emoji are drawn from a colour emoji font first: text fonts that have
    // a few emoji (DejaVu's black-and-white smileys) come after.
    emojiFamilies: '"Apple Color Emoji", "Noto Color Emoji", "Segoe UI Emoji"',
    cssFont: function(name, size, emoji) {
      const f = ScrawletCanvas.families(name);
      const list = emoji ? ScrawletCanvas.emojiFamilies + ', ' + f.list
                         : f.list + ', ' + ScrawletCanvas.emojiFamilies;
      return f.weight + size + 'px ' + list;
    },

    measuring: null,
    context: function() {
      if (!ScrawletCanvas.measuring)
        ScrawletCanvas.measuring = new OffscreenCanvas(1, 1).getContext('2d');
      return ScrawletCanvas.measuring;
    },

    // Colour emoji fonts draw wider than an em; an emoji is sized so that
    // it is as wide as the text's point size, as emoji are in the native
    // back end and in the phone's own text.
    emojiScale: null,
    emojiFontSize: function(name, size) {
      if (!ScrawletCanvas.emojiScale) ScrawletCanvas.emojiScale = new Map();
      let scale = ScrawletCanvas.emojiScale.get(name);
      if (scale === undefined) {
        const ctx = ScrawletCanvas.context();
        ctx.font = ScrawletCanvas.cssFont(name, 100, true);
        const width = ctx.measureText('\u{1F600}').width;
        scale = width > 0 ? 100 / width : 1;
        ScrawletCanvas.emojiScale.set(name, scale);
      }
      return size * scale;
    },

    // The text in runs of emoji and of everything else, each with its font
    // and measurements.
    // (Emscripten keeps only plain data in this object, so the pattern is
    // made on first use.)
    emojiPattern: null,
    runs: function(ctx, text, name, size) {
      if (!ScrawletCanvas.emojiPattern)
        ScrawletCanvas.emojiPattern = new RegExp(
          '(\\p{Extended_Pictographic}(?:\\uFE0F|\\u20E3|[\\u{1F3FB}-\\u{1F3FF}]|' +
          '\\u200D\\p{Extended_Pictographic}\\uFE0F?)*|\\p{Regional_Indicator}{2})', 'u');
      const runs = [];
      const pieces = text.split(ScrawletCanvas.emojiPattern);
      for (let i = 0; i < pieces.length; ++i) {
        const piece = pieces[i];
        if (piece === '') continue;
        // split() with a capturing group puts the matches at odd places.
        const emoji = i % 2 === 1;
        const font = ScrawletCanvas.cssFont(
          name, emoji ? ScrawletCanvas.emojiFontSize(name, size) : size, emoji);
        ctx.font = font;
        const m = ctx.measureText(piece);
        runs.push({ text: piece, font: font, width: m.width,
                    ascent: m.fontBoundingBoxAscent, descent: m.fontBoundingBoxDescent });
      }
      return runs;
    },

    // Lines no wider than `maxWidth` (0 for unlimited): broken at spaces,
    // and inside a word only where the word alone is too wide; a newline
    // always breaks. Each line carries its runs, width, ascent and descent:
    // as tall as its runs (a line of emoji alone sits in the emoji font's
    // height, as the native text engine lays it out), or as the font when
    // it is empty.
    layout: function(ctx, text, name, size, maxWidth) {
      const lines = [];
      const measure = (piece) => ScrawletCanvas.runs(ctx, piece, name, size);
      const finish = (piece) => {
        const runs = measure(piece);
        let width = 0, ascent = 0, descent = 0;
        if (runs.length === 0) {
          ctx.font = ScrawletCanvas.cssFont(name, size);
          const plain = ctx.measureText('');
          ascent = plain.fontBoundingBoxAscent;
          descent = plain.fontBoundingBoxDescent;
        }
        for (const run of runs) {
          width += run.width;
          ascent = Math.max(ascent, run.ascent);
          descent = Math.max(descent, run.descent);
        }
        lines.push({ runs: runs, width: width, ascent: ascent, descent: descent });
      };
      const widthOf = (piece) => measure(piece).reduce((sum, run) => sum + run.width, 0);
      for (const paragraph of text.split('\n')) {
        if (!(maxWidth > 0)) { finish(paragraph); continue; }
        let line = '';
        for (const word of paragraph.split(/(?<=\s)/u)) {
          if (widthOf(line + word.trimEnd()) <= maxWidth) { line += word; continue; }
          if (line !== '') { finish(line.trimEnd()); line = ''; }
          // A word wider than the line is broken between characters.
          let part = '';
          for (const ch of word) {
            if (part !== '' && widthOf(part + ch) > maxWidth && ch.trim() !== '') {
              finish(part); part = '';
            }
            part += ch;
          }
          line = part;
        }
        finish(line.trimEnd());
      }
      return lines;
    },

    colour: function(r, g, b, a) {
      return 'rgba(' + Math.round(r * 255) + ',' + Math.round(g * 255) + ',' +
             Math.round(b * 255) + ',' + a + ')';
    },

    get: function(id) { return ScrawletCanvas.canvases[id]; },
  },

  scrawlet_canvas_create__deps: ['$ScrawletCanvas'],
  scrawlet_canvas_create: function(width, height) {
    const canvas = new OffscreenCanvas(width, height);
    // Read back once drawn: kept in memory rather than on the GPU.
    const ctx = canvas.getContext('2d', { willReadFrequently: true });
    if (!ctx) return 0;
    let id = ScrawletCanvas.canvases.indexOf(null, 1);
    if (id < 0) id = ScrawletCanvas.canvases.length;
    ScrawletCanvas.canvases[id] = { canvas: canvas, ctx: ctx };
    return id;
  },

  scrawlet_canvas_release__deps: ['$ScrawletCanvas'],
  scrawlet_canvas_release: function(id) { ScrawletCanvas.canvases[id] = null; },

  // Draws straight RGBA pixels with the transform from their pixel space;
  // `exact` copies pixels without smoothing.
  scrawlet_canvas_draw_pixels__deps: ['$ScrawletCanvas'],
  scrawlet_canvas_draw_pixels: function(id, pixels, width, height, exact, a, b, c, d, tx, ty) {
    const ctx = ScrawletCanvas.get(id).ctx;
    const source = new OffscreenCanvas(width, height);
    const data = new ImageData(
      new Uint8ClampedArray(HEAPU8.subarray(pixels, pixels + width * height * 4)), width, height);
    source.getContext('2d').putImageData(data, 0, 0);
    ctx.save();
    ctx.setTransform(a, b, c, d, tx, ty);
    ctx.imageSmoothingEnabled = !exact;
    ctx.imageSmoothingQuality = 'high';
    ctx.drawImage(source, 0, 0);
    ctx.restore();
  },

  scrawlet_canvas_draw_text__deps: ['$ScrawletCanvas'],
  scrawlet_canvas_draw_text: function(id, text, length, name, size, r, g, b, alpha,
                                      x, y, w, h, a, bb, c, d, tx, ty) {
    const ctx = ScrawletCanvas.get(id).ctx;
    const lines = ScrawletCanvas.layout(ctx, UTF8ToString(text, length), UTF8ToString(name), size, w);
    ctx.save();
    ctx.setTransform(a, bb, c, d, tx, ty);
    ctx.beginPath();
    ctx.rect(x, y, w, h);
    ctx.clip();
    ctx.fillStyle = ScrawletCanvas.colour(r, g, b, alpha);
    ctx.textBaseline = 'alphabetic';
    let top = y;
    for (const line of lines) {
      let left = x;
      for (const run of line.runs) {
        ctx.font = run.font;
        ctx.fillText(run.text, left, top + line.ascent);
        left += run.width;
      }
      top += line.ascent + line.descent;
    }
    ctx.restore();
    return lines.length ? lines[0].ascent : 0;
  },

  // shape: 0 a rectangle, 1 a rounded rectangle, 2 an ellipse.
  scrawlet_canvas_fill__deps: ['$ScrawletCanvas'],
  scrawlet_canvas_fill: function(id, shape, x, y, w, h, radius, r, g, b, alpha, a, bb, c, d, tx, ty) {
    const ctx = ScrawletCanvas.get(id).ctx;
    ctx.save();
    ctx.setTransform(a, bb, c, d, tx, ty);
    ctx.beginPath();
    if (shape === 0) {
      ctx.rect(x, y, w, h);
    } else if (shape === 1) {
      const k = Math.max(0, Math.min(radius, w / 2, h / 2));
      ctx.moveTo(x + k, y);
      ctx.arc(x + w - k, y + k, k, -Math.PI / 2, 0);
      ctx.arc(x + w - k, y + h - k, k, 0, Math.PI / 2);
      ctx.arc(x + k, y + h - k, k, Math.PI / 2, Math.PI);
      ctx.arc(x + k, y + k, k, Math.PI, 3 * Math.PI / 2);
      ctx.closePath();
    } else {
      ctx.ellipse(x + w / 2, y + h / 2, w / 2, h / 2, 0, 0, 2 * Math.PI);
    }
    ctx.fillStyle = ScrawletCanvas.colour(r, g, b, alpha);
    ctx.fill();
    ctx.restore();
  },

  scrawlet_canvas_stroke_line__deps: ['$ScrawletCanvas'],
  scrawlet_canvas_stroke_line: function(id, x0, y0, x1, y1, lineWidth, r, g, b, alpha,
                                        a, bb, c, d, tx, ty) {
    const ctx = ScrawletCanvas.get(id).ctx;
    ctx.save();
    ctx.setTransform(a, bb, c, d, tx, ty);
    ctx.strokeStyle = ScrawletCanvas.colour(r, g, b, alpha);
    ctx.lineWidth = lineWidth;
    ctx.lineCap = 'round';
    ctx.beginPath();
    ctx.moveTo(x0, y0);
    ctx.lineTo(x1, y1);
    ctx.stroke();
    ctx.restore();
  },

  // The canvas' pixels, straight RGBA, into `out`.
  scrawlet_canvas_read__deps: ['$ScrawletCanvas'],
  scrawlet_canvas_read: function(id, out) {
    const canvas = ScrawletCanvas.get(id).canvas, ctx = ScrawletCanvas.get(id).ctx;
    const data = ctx.getImageData(0, 0, canvas.width, canvas.height).data;
    HEAPU8.set(data, out);
  },

  // The size of the laid-out text, written as two doubles to `out`.
  scrawlet_measure_text__deps: ['$ScrawletCanvas'],
  scrawlet_measure_text: function(text, length, name, size, maxWidth, out) {
    const ctx = ScrawletCanvas.context();
    const lines = ScrawletCanvas.layout(ctx, UTF8ToString(text, length), UTF8ToString(name), size, maxWidth);
    let width = 0, height = 0;
    for (const line of lines) {
      width = Math.max(width, line.width);
      height += line.ascent + line.descent;
    }
    HEAPF64[out >> 3] = width;
    HEAPF64[(out >> 3) + 1] = height;
  },
});
