// The host's side of the page (index.html): what the page says about itself
// before launch, the events that become touches, keys and shakes, the way
// into the room the browser offers (an immersive-ar session whose frames
// carry the phone's pose and projection, else the camera-through mode of
// CameraThrough.js), the file chooser that answers the image picker, the
// browser's share sheet (or a download) that answers ours, and the scripts
// the page runs. The page passes its own object as Module.page, for its
// texts, messages and statistics.
//
// (Emscripten 3.1.6 keeps only plain data and plain functions in the
// objects below: no method shorthand, and objects made on first use.)

mergeInto(LibraryManager.library, {
  $ScrawletPage: {
    context: 0,
    // The immersive-ar session, its local space and the XR layer's
    // framebuffer under the name the program binds.
    session: null,
    space: null,
    framebuffer: null,
    framebufferName: 0,
    // Room for the pose and the projection, 16 floats each.
    matrices: 0,
    // A shake is this many strong movements, each this soon after the last.
    shakeStrength: 12,
    shakeMovements: 3,
    shakeWithinMs: 400,
    shakeQuietMs: 1500,

    overlay: function() { return document.getElementById('overlay'); },

    // Whether the file chooser can take photos with a camera, as far as the
    // page can tell at launch: a phone or a tablet (a touch screen its main
    // pointer) whose browser has cameras. The list of devices says more,
    // but Firefox answers it only once the window has focus, and the launch
    // does not wait for it: watchCameras corrects the guess when it comes.
    hasCamera: function() {
      const devices = navigator.mediaDevices;
      return !!(devices && devices.getUserMedia) && matchMedia('(pointer: coarse)').matches;
    },

    // From launch on, whether the browser lists a camera, now and whenever
    // its devices change; a browser without the list keeps the guess.
    watchCameras: function() {
      const devices = navigator.mediaDevices;
      if (!devices || typeof devices.enumerateDevices !== 'function') return;
      const list = () => devices.enumerateDevices().then((all) => {
        const found = all.some((device) => device.kind === 'videoinput');
        Module['_scrawlet_cameras_listed'](found ? 1 : 0);
        Module.page.camerasListed(found);
      }, () => {});
      devices.addEventListener('devicechange', list);
      list();
    },

    // The page's size in CSS pixels (our points), its pixels per point, the
    // safe area, the languages, and the set-up commands a test put in the
    // address (?setup=…).
    facts: function(camera) {
      const box = ScrawletPage.overlay().getBoundingClientRect();
      const probe = document.createElement('div');
      probe.style.cssText = 'position: fixed; visibility: hidden; padding: ' +
        'env(safe-area-inset-top) env(safe-area-inset-right) env(safe-area-inset-bottom) ' +
        'env(safe-area-inset-left)';
      document.body.appendChild(probe);
      const style = getComputedStyle(probe);
      const insets = {
        top: parseFloat(style.paddingTop) || 0, left: parseFloat(style.paddingLeft) || 0,
        bottom: parseFloat(style.paddingBottom) || 0, right: parseFloat(style.paddingRight) || 0,
      };
      probe.remove();
      const languages = navigator.languages && navigator.languages.length
        ? Array.from(navigator.languages) : [navigator.language || 'en-US'];
      return {
        width: box.width, height: box.height, pixelRatio: window.devicePixelRatio || 1,
        insets: insets, languages: languages, camera: camera,
        setup: new URLSearchParams(location.search).get('setup') || '',
      };
    },

    withText: function(text, use) {
      const pointer = allocateUTF8(text);
      try { return use(pointer); } finally { _free(pointer); }
    },

    withBytes: function(bytes, use) {
      const pointer = _malloc(Math.max(1, bytes.length));
      HEAPU8.set(bytes, pointer);
      try { return use(pointer); } finally { _free(pointer); }
    },

    // Pointers on the overlay are touches (or, for the mouse's right
    // button, turning); the page's own buttons keep theirs.
    listen: function() {
      const overlay = ScrawletPage.overlay();
      const send = (phase, event) => {
        const box = overlay.getBoundingClientRect();
        Module['_scrawlet_pointer'](phase, event.pointerId, event.pointerType === 'mouse' ? 1 : 0,
                                    event.button, event.clientX - box.left, event.clientY - box.top,
                                    event.timeStamp);
      };
      // The pointers that went down on the overlay itself; the rest (on the
      // page's buttons, or hovering) are not the app's.
      const ours = new Set();
      overlay.addEventListener('pointerdown', (event) => {
        if (event.target.closest('button, a, [data-page]')) return;
        event.preventDefault();
        overlay.setPointerCapture(event.pointerId);
        ours.add(event.pointerId);
        send(0, event);
      });
      // Every position the browser saw since the last event, each at its
      // own time: a stroke is sampled by the finger's movement, not by the
      // rate of events.
      overlay.addEventListener('pointermove', (event) => {
        if (!ours.has(event.pointerId)) return;
        const all = typeof event.getCoalescedEvents === 'function' ? event.getCoalescedEvents() : [];
        for (const each of all.length > 0 ? all : [event]) send(1, each);
      });
      // A touch's pointerdown lends no permission to ask; its touchend and
      // a click do.
      // (The page's button asks for what its mode needs itself.)
      const askInTap = (event) => { if (!event.target.closest('button')) ScrawletPage.askForMotion(); };
      overlay.addEventListener('touchend', askInTap);
      overlay.addEventListener('click', askInTap);
      const end = (phase) => (event) => {
        if (!ours.has(event.pointerId)) return;
        // The mouse stays ours while another of its buttons is held.
        if (event.pointerType !== 'mouse' || event.buttons === 0) ours.delete(event.pointerId);
        send(phase, event);
      };
      overlay.addEventListener('pointerup', end(2));
      overlay.addEventListener('pointercancel', end(3));
      overlay.addEventListener('contextmenu', (event) => event.preventDefault());
      // Taps on the overlay are the app's, not XR selections.
      overlay.addEventListener('beforexrselect', (event) => event.preventDefault());
      overlay.addEventListener('wheel', (event) => {
        event.preventDefault();
        Module['_scrawlet_wheel'](Math.sign(event.deltaY));
      }, { passive: false });

      const key = (down) => (event) => {
        if (event.metaKey || event.altKey) return;
        // The page's own buttons take Enter and Space themselves.
        if (event.target.closest && event.target.closest('input, textarea, button, a')) return;
        const ours = ScrawletPage.withText(event.code, (code) =>
          Module['_scrawlet_key'](code, down ? 1 : 0, event.ctrlKey ? 1 : 0, event.repeat ? 1 : 0));
        if (ours) event.preventDefault();
      };
      window.addEventListener('keydown', key(true));
      window.addEventListener('keyup', key(false));
      window.addEventListener('blur', () => Module['_scrawlet_focus_lost']());
      document.addEventListener('visibilitychange', () =>
        Module['_scrawlet_visibility'](document.hidden ? 0 : 1));
      ScrawletPage.listenForShakes();
    },

    // Some browsers (iOS) show motion only to pages the person allowed,
    // asked for in a tap. An answer is kept; a prompt dismissed, or refused
    // for want of a tap, is asked again at the next.
    askForMotion: function() {
      if (typeof DeviceMotionEvent === 'undefined' ||
          typeof DeviceMotionEvent.requestPermission !== 'function' || ScrawletPage.motionAnswer)
        return;
      Promise.allSettled([DeviceMotionEvent.requestPermission()]).then(
        (answers) => ScrawletPage.motionAnswered(answers[0]));
    },
    motionAnswered: function(settled) {
      if (settled.status === 'fulfilled') ScrawletPage.motionAnswer = settled.value;
    },
    motionAnswer: null,
    // Whether the page's own button offers the picture that could not be
    // shared at once.
    shareAgain: false,

    // A few strong movements in quick succession are a shake.
    listenForShakes: function() {
      let count = 0, last = -Infinity, quietUntil = -Infinity;
      window.addEventListener('devicemotion', (event) => {
        const a = event.acceleration;
        let strength;
        if (a && a.x !== null) {
          strength = Math.hypot(a.x || 0, a.y || 0, a.z || 0);
        } else if (event.accelerationIncludingGravity && event.accelerationIncludingGravity.x !== null) {
          const g = event.accelerationIncludingGravity;
          strength = Math.abs(Math.hypot(g.x || 0, g.y || 0, g.z || 0) - 9.81);
        } else {
          return;
        }
        const now = event.timeStamp;
        if (now < quietUntil || strength < ScrawletPage.shakeStrength) return;
        count = now - last <= ScrawletPage.shakeWithinMs ? count + 1 : 1;
        last = now;
        if (count < ScrawletPage.shakeMovements) return;
        count = 0;
        quietUntil = now + ScrawletPage.shakeQuietMs;
        Module['_scrawlet_shake']();
      });
    },

    // The best way into the person's room the browser offers, behind the
    // one button: an immersive-ar session, else the camera seen through and
    // turned by the phone's orientation, else none (the simulated room), with
    // the reason.
    offerModes: function() {
      const page = Module.page;
      const camera = () => ScrawletCamera.offered().then((offered) => {
        if (!offered) {
          page.modeUnavailable(navigator.xr ? 'noArHere' : 'noWebXr', '');
          return;
        }
        page.offerMode('camera', () => ScrawletCamera.start().then(
          () => page.modeStarted('camera', () => ScrawletCamera.stop()),
          (refusal) => page.modeRefused(refusal)));
      });
      if (!navigator.xr) {
        camera();
        return;
      }
      navigator.xr.isSessionSupported('immersive-ar').then((supported) => {
        if (!supported) {
          camera();
          return;
        }
        page.offerMode('ar', () => ScrawletPage.startXr().catch((error) => {
          page.modeFailed('ar', error.message);
        }));
      }, (error) => page.modeUnavailable('xrAnswered', error.message));
    },

    // The layer's framebuffer made known to Emscripten's GL bindings, so
    // that the program can bind it by name.
    nameOf: function(framebuffer) {
      if (framebuffer === null) return 0;
      if (framebuffer !== ScrawletPage.framebuffer) {
        if (ScrawletPage.framebufferName) GL.framebuffers[ScrawletPage.framebufferName] = null;
        const name = GL.getNewId(GL.framebuffers);
        framebuffer.name = name;
        GL.framebuffers[name] = framebuffer;
        ScrawletPage.framebuffer = framebuffer;
        ScrawletPage.framebufferName = name;
      }
      return ScrawletPage.framebufferName;
    },

    startXr: async function() {
      const page = Module.page;
      const overlay = ScrawletPage.overlay();
      const session = await navigator.xr.requestSession('immersive-ar', {
        requiredFeatures: ['local'],
        // The camera's own picture, where granted, lies under a shared one.
        optionalFeatures: ['dom-overlay', 'hit-test', 'camera-access'],
        domOverlay: { root: overlay },
      });
      const gl = GL.contexts[ScrawletPage.context].GLctx;
      try {
        await gl.makeXRCompatible();
        session.updateRenderState({ baseLayer: new XRWebGLLayer(session, gl, { alpha: true, antialias: true }) });
        ScrawletPage.space = await session.requestReferenceSpace('local');
      } catch (error) {
        session.end().catch(() => {});
        throw error;
      }
      ScrawletPage.session = session;
      ScrawletPage.binding = typeof XRWebGLBinding === 'function' ? new XRWebGLBinding(session, gl) : null;
      if (!ScrawletPage.matrices) ScrawletPage.matrices = _malloc(2 * 16 * 4);
      Module['_scrawlet_xr_started']();
      page.modeStarted('ar', () => session.end());
      session.addEventListener('end', () => {
        ScrawletPage.session = null;
        ScrawletPage.binding = null;
        ScrawletPage.answerCameraImage(null);
        Module['_scrawlet_xr_ended']();
        page.modeEnded('ar');
      });
      const onFrame = (time, frame) => {
        if (ScrawletPage.session !== session) return;
        // The page's own time in the frame, from here to its draw calls.
        const start = performance.now();
        session.requestAnimationFrame(onFrame);
        const pose = frame.getViewerPose(ScrawletPage.space);
        // Tracking lost for a moment: the last frame stays (and a shared
        // picture goes without the camera's).
        if (!pose || pose.views.length === 0) {
          ScrawletPage.answerCameraImage(null);
          return;
        }
        // A phone shows one view; a headset's first eye stands for it.
        const view = pose.views[0];
        const layer = session.renderState.baseLayer;
        const viewport = layer.getViewport(view);
        const floats = ScrawletPage.matrices >> 2;
        HEAPF32.set(view.transform.matrix, floats);
        HEAPF32.set(view.projectionMatrix, floats + 16);
        // Some implementations give no framebuffer of their own: then the
        // page's canvas is the layer.
        const planes = Module['_scrawlet_xr_frame'](
          ScrawletPage.nameOf(layer.framebuffer), viewport.width, viewport.height, ScrawletPage.matrices);
        const drawMs = performance.now() - start;
        if (ScrawletPage.cameraImageWanted.length > 0) ScrawletPage.answerCameraImage(ScrawletPage.readCameraImage(view));
        page.xrFrameDrawn({
          time: time,
          cameraToWorld: Array.from(view.transform.matrix),
          projection: Array.from(view.projectionMatrix),
          viewport: [viewport.x, viewport.y, viewport.width, viewport.height],
          framebuffer: layer.framebuffer === null ? 'canvas' : 'layer',
          planes: planes,
          drawMs: drawMs,
          byCoverage: Module['_scrawlet_frame_by_coverage']() === 1,
        });
      };
      session.requestAnimationFrame(onFrame);
    },

    // The XR camera's picture of this frame, where the browser grants it,
    // as a canvas (upright), or null. The texture lives only while the
    // frame is handled.
    cameraImageWanted: [],
    readCameraImage: function(view) {
      const binding = ScrawletPage.binding;
      if (!binding || !view.camera || typeof binding.getCameraImage !== 'function') return null;
      try {
        const gl = GL.contexts[ScrawletPage.context].GLctx;
        const texture = binding.getCameraImage(view.camera);
        const width = view.camera.width, height = view.camera.height;
        const framebuffer = gl.createFramebuffer();
        const bound = gl.getParameter(gl.FRAMEBUFFER_BINDING);
        gl.bindFramebuffer(gl.FRAMEBUFFER, framebuffer);
        gl.framebufferTexture2D(gl.FRAMEBUFFER, gl.COLOR_ATTACHMENT0, gl.TEXTURE_2D, texture, 0);
        const pixels = new Uint8ClampedArray(width * height * 4);
        gl.readPixels(0, 0, width, height, gl.RGBA, gl.UNSIGNED_BYTE, pixels);
        gl.bindFramebuffer(gl.FRAMEBUFFER, bound);
        gl.deleteFramebuffer(framebuffer);
        if (gl.getError() !== gl.NO_ERROR) return null;
        // GL's rows run from the bottom up.
        const canvas = () => Object.assign(document.createElement('canvas'), { width: width, height: height });
        const read = canvas(), upright = canvas();
        read.getContext('2d').putImageData(new ImageData(pixels, width, height), 0, 0);
        const context = upright.getContext('2d');
        context.setTransform(1, 0, 0, -1, 0, height);
        context.drawImage(read, 0, 0);
        return upright;
      } catch (error) {
        return null;
      }
    },
    answerCameraImage: function(picture) {
      const waiting = ScrawletPage.cameraImageWanted;
      ScrawletPage.cameraImageWanted = [];
      waiting.forEach((resolve) => resolve(picture));
    },
    // What lies under a shared picture: the camera's picture as the page
    // shows it where there is one; else an opaque colour, never nothing.
    paintBackdrop: function(context, width, height) {
      context.fillStyle = '#000';
      context.fillRect(0, 0, width, height);
      if (ScrawletCamera.drawPicture(context, width, height)) return Promise.resolve();
      if (!ScrawletPage.session) return Promise.resolve();
      return new Promise((resolve) => ScrawletPage.cameraImageWanted.push(resolve)).then((picture) => {
        if (!picture) return;
        // Covering the picture as the view does, its bottom part.
        const box = ScrawletPage.overlay().getBoundingClientRect();
        const scale = width / box.width;
        const cover = Math.max(box.width / picture.width, box.height / picture.height);
        const w = picture.width * cover * scale, h = picture.height * cover * scale;
        context.drawImage(picture, (width - w) / 2, height - box.height * scale + (box.height * scale - h) / 2, w, h);
      });
    },

    // A picked file is decoded by the browser, which hands back upright
    // pixels; what it cannot read goes to our decoders.
    readPicked: function(file) {
      const refuse = (reason) => ScrawletPage.withText(file.name, (name) =>
        ScrawletPage.withText(reason, (text) => Module['_scrawlet_pick_refused'](name, text)));
      // A phone's photo is decoded by the browser, off the main thread and
      // brought down to the kept size as it is decoded, so that neither the
      // file nor the whole picture ever comes into the program's memory.
      // The file's first bytes say what size to ask for.
      const fail = (error) => refuse('the file could not be read (' + error.message + ')');
      const started = performance.now();
      file.slice(0, ScrawletPage.headBytes).arrayBuffer().then((head) => {
        const plan = JSON.parse(ScrawletPage.withBytes(new Uint8Array(head), (bytes) =>
          UTF8ToString(Module['_scrawlet_picture_plan'](bytes, head.byteLength))));
        ScrawletPage.measured('header', started);
        if (plan.refused) {
          refuse(plan.refused);
          return;
        }
        if (!plan.width || typeof createImageBitmap !== 'function') return ScrawletPage.readWhole(file, refuse);
        return ScrawletPage.decodeInBrowser(file, plan).then((decoded) => {
          // The browser shows what it could read of a JPEG file cut short;
          // natively it is refused, and so it is here.
          if (decoded.cutShort) refuse(plan.cutShort);
          // What the browser cannot read goes the long way, which says why.
          else if (!decoded.pixels) return ScrawletPage.readWhole(file, refuse);
        });
      }).catch(fail);
    },
    headBytes: 256 * 1024,

    // The time since `start` as one step of reading a photo, for
    // measurements (bench/web-photos.mjs); answers the time now.
    measured: function(step, start) {
      const now = performance.now();
      performance.measure('photo ' + step, { start: start, end: now });
      return now;
    },

    // The long way: the whole file through our decoders, then, for kinds
    // they do not read, the browser's as it is.
    readWhole: function(file, refuse) {
      return file.arrayBuffer().then((buffer) => {
        const reason = ScrawletPage.withBytes(new Uint8Array(buffer), (bytes) =>
          ScrawletPage.withText(file.name, (name) =>
            UTF8ToString(Module['_scrawlet_picked'](bytes, buffer.byteLength, name))));
        if (reason === '') return;
        return ScrawletPage.decodeInBrowser(file, {}).then((decoded) => { if (!decoded.pixels) refuse(reason); });
      });
    },

    // Decodes `file` as `plan` says (upright at its width by height, or as
    // it is, brought down to the kept size, when it gives none) and hands
    // the pixels over. The browser decodes and reads the pixels out in a
    // worker of the page's own where it can, so that the main thread only
    // copies them into the program; else on the main thread. Answers
    // {pixels} when they were handed over, {cutShort} for a JPEG file cut
    // short, or {} when the browser cannot read the file.
    decodeInBrowser: function(file, plan) {
      const job = {
        file: file, width: plan.width || 0, height: plan.height || 0,
        scanData: plan.scanData || 0, keptSide: ScrawletPage.keptSide,
      };
      const started = performance.now();
      return ScrawletPage.decodeInWorker(job).then((answer) => answer || ScrawletPage.decodePixels(job)).then((answer) => {
        if (!answer || !answer.pixels) return answer || {};
        const pixels = answer.pixels;
        ScrawletPage.measured('decode', started);
        const into = performance.now();
        const rgba = Module['_scrawlet_picture_pixels'](answer.width, answer.height, answer.opaque ? 1 : 0);
        if (rgba) {
          HEAPU8.set(pixels, rgba);
          Module['_scrawlet_picked_pixels']();
        }
        ScrawletPage.measured('into the program', into);
        return { pixels: true };
      });
    },

    // The worker's answer to `job`, or null where the page cannot have one
    // do it (no workers, no canvas of their own, or no 2-D drawing there).
    decodeInWorker: function(job) {
      if (typeof Worker !== 'function' || typeof OffscreenCanvas !== 'function') return Promise.resolve(null);
      let worker;
      try {
        if (!ScrawletPage.workerAddress) {
          const source = 'const decodePixels = ' + ScrawletPage.decodePixels.toString() + ';\n' +
            'self.onmessage = (event) => decodePixels(event.data).then((answer) =>\n' +
            '  self.postMessage(answer, answer.pixels ? [answer.pixels.buffer] : []),\n' +
            '  () => self.postMessage(null));\n';
          ScrawletPage.workerAddress = URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
        }
        worker = new Worker(ScrawletPage.workerAddress);
      } catch (error) {
        return Promise.resolve(null);
      }
      return new Promise((resolve) => {
        worker.onmessage = (event) => resolve(event.data);
        worker.onerror = (event) => { event.preventDefault(); resolve(null); };
        worker.postMessage(job);
      }).finally(() => worker.terminate());
    },
    workerAddress: null,

    // Decodes as decodeInBrowser says, in a worker or on the main thread:
    // {pixels, width, height, opaque} (RGBA, not premultiplied, and whether
    // every alpha is 255), {cutShort}, {}
    // when the browser cannot read the file, or null when this thread has
    // no 2-D drawing. Uses nothing but its argument and the browser, as
    // the worker runs it from its source.
    // (`scanData` is where a JPEG's picture data begins: from there on, the
    // bytes 0xff 0xd9 are only ever its end-of-image marker, which a file
    // cut short lacks.)
    decodePixels: function(job) {
      // The marker is looked for near the end first, where a whole file
      // has it (unless something follows, as a phone's motion photo has).
      const endsFrom = (from) => job.file.slice(from).arrayBuffer().then((buffer) => {
        const bytes = new Uint8Array(buffer);
        for (let i = bytes.length - 2; i >= 0; --i)
          if (bytes[i] === 0xff && bytes[i + 1] === 0xd9) return true;
        return false;
      });
      const whole = !(job.scanData > 0) ? Promise.resolve(true)
        : endsFrom(Math.max(job.scanData, job.file.size - 65536)).then((found) => found || endsFrom(job.scanData));
      const options = job.width > 0 ? { resizeWidth: job.width, resizeHeight: job.height, resizeQuality: 'high' } : {};
      const decoded = createImageBitmap(job.file, options).then((bitmap) => bitmap, () => null);
      return Promise.all([whole, decoded]).then(([whole, bitmap]) => {
        if (!bitmap) return {};
        if (!whole) {
          bitmap.close();
          return { cutShort: true };
        }
        let width = job.width, height = job.height;
        if (width <= 0) {
          // A browser that cannot resize while decoding gives the whole
          // picture, which is drawn smaller.
          const fit = Math.min(1, job.keptSide / Math.max(bitmap.width, bitmap.height));
          width = Math.max(1, Math.round(bitmap.width * fit));
          height = Math.max(1, Math.round(bitmap.height * fit));
        }
        const canvas = typeof OffscreenCanvas === 'function' ? new OffscreenCanvas(width, height)
          : Object.assign(document.createElement('canvas'), { width: width, height: height });
        const context = canvas.getContext('2d');
        if (!context) {
          bitmap.close();
          return null;
        }
        context.drawImage(bitmap, 0, 0, width, height);
        bitmap.close();
        const pixels = context.getImageData(0, 0, width, height).data;
        let opaque = true;
        for (let i = 3; i < pixels.length && opaque; i += 4) opaque = pixels[i] === 255;
        return { pixels: pixels, width: width, height: height, opaque: opaque };
      });
    },
    // The kept size of graphics::DecodeLimits.
    keptSide: 2048,
  },

  scrawlet_page_prepare__deps: ['$ScrawletPage', '$ScrawletCamera', 'malloc', 'free'],
  scrawlet_page_prepare: function() {
    Module.storageRead.then(() => {
      ScrawletPage.withText(JSON.stringify(ScrawletPage.facts(ScrawletPage.hasCamera())),
                            (facts) => Module['_scrawlet_page_ready'](facts));
    });
  },

  // `text` names one of the page's texts, `detail` what goes into it.
  scrawlet_page_failed: function(text, detail) {
    Module.page.failed(UTF8ToString(text), UTF8ToString(detail));
  },

  // The language the page speaks from now on, before the program launches.
  scrawlet_page_speak: function(language) {
    Module.page.speak(UTF8ToString(language));
  },

  scrawlet_page_launched__deps: ['$ScrawletPage', '$ScrawletCamera', 'malloc', 'free'],
  // `language` names the set of texts the page shows: the one the
  // program's own texts are in.
  scrawlet_page_launched: function(context, language) {
    ScrawletPage.context = context;
    Module.page.speak(UTF8ToString(language));
    ScrawletPage.listen();
    // window.scrawlet.run: a script against the live application.
    Module.runScript = function(text) {
      return JSON.parse(ScrawletPage.withText(String(text), (script) =>
        UTF8ToString(Module['_scrawlet_run_script'](script))));
    };
    // window.scrawlet.presented: the screen on top and what can be tapped.
    Module.presented = function() { return JSON.parse(UTF8ToString(Module['_scrawlet_presented']())); };
    Module.redraw = function() { Module['_scrawlet_redraw'](); };
    ScrawletPage.offerModes();
    Module.page.launched(Module);
    ScrawletPage.watchCameras();
  },

  // The overlay's size in CSS pixels (our points) into `size`. Asking the
  // layout forces one, a tenth of a millisecond in every frame: a
  // ResizeObserver follows the size instead, and the layout is asked only
  // before its first answer or where there is no such observer.
  scrawlet_page_overlay_size__deps: ['$ScrawletPage'],
  scrawlet_page_overlay_size: function(size) {
    const page = ScrawletPage;
    const overlay = page.overlay();
    if (!page.overlaySize) {
      const box = overlay.getBoundingClientRect();
      if (typeof ResizeObserver === 'function' && !page.overlayObserved) {
        page.overlayObserved = true;
        new ResizeObserver(() => {
          const seen = overlay.getBoundingClientRect();
          page.overlaySize = [seen.width, seen.height];
        }).observe(overlay);
      }
      HEAPF64[size >> 3] = box.width;
      HEAPF64[(size >> 3) + 1] = box.height;
      return;
    }
    HEAPF64[size >> 3] = page.overlaySize[0];
    HEAPF64[(size >> 3) + 1] = page.overlaySize[1];
  },

  scrawlet_page_frame_drawn: function(planes, milliseconds, uploading) {
    Module.page.frameDrawn(planes, milliseconds, uploading);
  },

  // Calls the program back once the page is idle, to store a photo placed
  // ahead of a save: the program's own JPEG encoder on the main thread (a
  // worker has no copy of the program, and the browser's encoder would
  // write other bytes than a save does), where no frame or touch waits for
  // it. A browser without idle callbacks gets a pause instead.
  scrawlet_page_when_idle: function() {
    const run = () => {
      if (Module['_scrawlet_idle']()) Module.page.photoStored();
    };
    if (typeof requestIdleCallback === 'function') requestIdleCallback(run, { timeout: 2000 });
    else setTimeout(run, 250);
  },

  // The image picker is answered by the browser's file chooser: pictures,
  // from the camera where `camera` asks for it.
  scrawlet_page_choose_picture__deps: ['$ScrawletPage', 'malloc', 'free'],
  scrawlet_page_choose_picture: function(camera) {
    const input = document.createElement('input');
    input.type = 'file';
    input.accept = 'image/*';
    if (camera) input.setAttribute('capture', 'environment');
    input.hidden = true;
    input.dataset.page = 'chooser';
    document.body.appendChild(input);
    let answered = false;
    const answer = (then) => {
      if (answered) return;
      answered = true;
      input.remove();
      then();
    };
    input.addEventListener('change', () => answer(() => {
      const file = input.files && input.files[0];
      if (file) ScrawletPage.readPicked(file);
      else Module['_scrawlet_pick_cancelled']();
    }));
    input.addEventListener('cancel', () => answer(() => Module['_scrawlet_pick_cancelled']()));
    input.click();
  },

  // The share sheet is answered by the browser's own, with the picture as a
  // PNG file and the sheet's `text`, or else by downloading the file. The picture (`width` by
  // `height` pixels, RGBA not premultiplied) lies over what the camera
  // shows, and the browser encodes it off the main thread.
  scrawlet_page_share__deps: ['$ScrawletPage', '$ScrawletCamera'],
  scrawlet_page_share: function(rgba, width, height, textPointer) {
    const text = UTF8ToString(textPointer);
    const asked = performance.now();
    const stamp = new Date();
    const two = (n) => String(n).padStart(2, '0');
    const name = 'Scrawlet ' + stamp.getFullYear() + '-' + two(stamp.getMonth() + 1) + '-' +
      two(stamp.getDate()) + ' ' + two(stamp.getHours()) + '.' + two(stamp.getMinutes()) + '.' +
      two(stamp.getSeconds()) + '.png';
    const finished = () => Module['_scrawlet_share_finished']();
    const drawing = document.createElement('canvas');
    drawing.width = width;
    drawing.height = height;
    drawing.getContext('2d').putImageData(
      new ImageData(new Uint8ClampedArray(HEAPU8.slice(rgba, rgba + width * height * 4).buffer), width, height), 0, 0);
    const picture = document.createElement('canvas');
    picture.width = width;
    picture.height = height;
    const context = picture.getContext('2d');
    ScrawletPage.paintBackdrop(context, width, height).then(() => {
      context.drawImage(drawing, 0, 0);
      return new Promise((resolve, reject) => picture.toBlob(
        (blob) => (blob ? resolve(blob) : reject(new Error('the picture could not be encoded'))), 'image/png'));
    }).then((blob) => {
      const file = new File([blob], name, { type: 'image/png' });
      Module.page.shared(file, performance.now() - asked);
      // The app's text goes with the picture where the browser takes both.
      const shared = { files: [file] };
      if (text && navigator.canShare && navigator.canShare({ files: [file], text })) shared.text = text;
      if (navigator.canShare && navigator.share && navigator.canShare({ files: [file] })) {
        // Shared or cancelled, the sheet is done with. A browser whose tap
        // has run out by now (WebKit keeps one for about a second) refuses
        // to share: the page then offers a button whose own tap shares.
        const share = () => navigator.share(shared).then(finished, (error) => {
          if (error && error.name === 'NotAllowedError' && !ScrawletPage.shareAgain) {
            ScrawletPage.shareAgain = true;
            Module.page.offerShare(() => { ScrawletPage.shareAgain = false; share(); }, finished);
            return;
          }
          finished();
        });
        share();
        return;
      }
      const link = document.createElement('a');
      link.href = URL.createObjectURL(file);
      link.download = name;
      link.hidden = true;
      document.body.appendChild(link);
      link.click();
      link.remove();
      setTimeout(() => URL.revokeObjectURL(link.href), 60000);
      finished();
    }).catch(finished);
  },
});
