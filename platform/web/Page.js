// The host's side of the page (index.html): what the page says about itself
// before launch, the events that become touches, keys and shakes, the
// immersive-ar session whose frames carry the phone's pose and projection,
// the file chooser that answers the image picker, the browser's share sheet
// (or a download) that answers ours, and the scripts the page runs. The page
// passes its own object as Module.page, for messages and statistics.
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

    // Whether the device has a camera the file chooser can take photos with.
    hasCamera: function() {
      const devices = navigator.mediaDevices;
      if (!devices || !devices.enumerateDevices) return Promise.resolve(false);
      return devices.enumerateDevices().then(
        (list) => list.some((device) => device.kind === 'videoinput'), () => false);
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
                                    event.button, event.clientX - box.left, event.clientY - box.top);
      };
      // The pointers that went down on the overlay itself; the rest (on the
      // page's buttons, or hovering) are not the app's.
      const ours = new Set();
      overlay.addEventListener('pointerdown', (event) => {
        if (event.target.closest('button, a, [data-page]')) return;
        event.preventDefault();
        overlay.setPointerCapture(event.pointerId);
        ours.add(event.pointerId);
        ScrawletPage.askForMotion();
        send(0, event);
      });
      overlay.addEventListener('pointermove', (event) => { if (ours.has(event.pointerId)) send(1, event); });
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
        if (event.target.closest && event.target.closest('input, textarea')) return;
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

    // Some browsers show motion only to pages the user allowed, asked for
    // in a tap.
    askForMotion: function() {
      if (typeof DeviceMotionEvent === 'undefined' ||
          typeof DeviceMotionEvent.requestPermission !== 'function' || ScrawletPage.motionAsked)
        return;
      ScrawletPage.motionAsked = true;
      DeviceMotionEvent.requestPermission().catch(() => {});
    },
    motionAsked: false,

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

    // The "Enter AR" button where the browser can start an immersive-ar
    // session, and a note saying why where it cannot.
    offerXr: function() {
      const page = Module.page;
      if (!navigator.xr) {
        page.xrUnavailable('This browser offers no WebXR');
        return;
      }
      navigator.xr.isSessionSupported('immersive-ar').then((supported) => {
        if (!supported) {
          page.xrUnavailable('This device cannot show augmented reality in the browser');
          return;
        }
        page.offerXr(() => ScrawletPage.startXr().catch((error) => {
          page.xrFailed('Augmented reality could not start: ' + error.message);
        }));
      }, (error) => page.xrUnavailable('WebXR answered: ' + error.message));
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
        optionalFeatures: ['dom-overlay', 'hit-test'],
        domOverlay: { root: overlay },
      });
      try {
        const gl = GL.contexts[ScrawletPage.context].GLctx;
        await gl.makeXRCompatible();
        session.updateRenderState({ baseLayer: new XRWebGLLayer(session, gl, { alpha: true, antialias: true }) });
        ScrawletPage.space = await session.requestReferenceSpace('local');
      } catch (error) {
        session.end().catch(() => {});
        throw error;
      }
      ScrawletPage.session = session;
      if (!ScrawletPage.matrices) ScrawletPage.matrices = _malloc(2 * 16 * 4);
      Module['_scrawlet_xr_started']();
      page.xrStarted(session);
      session.addEventListener('end', () => {
        ScrawletPage.session = null;
        Module['_scrawlet_xr_ended']();
        page.xrEnded();
      });
      const onFrame = (time, frame) => {
        if (ScrawletPage.session !== session) return;
        session.requestAnimationFrame(onFrame);
        const pose = frame.getViewerPose(ScrawletPage.space);
        // Tracking lost for a moment: the last frame stays.
        if (!pose || pose.views.length === 0) return;
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
        page.xrFrameDrawn({
          time: time,
          cameraToWorld: Array.from(view.transform.matrix),
          projection: Array.from(view.projectionMatrix),
          viewport: [viewport.x, viewport.y, viewport.width, viewport.height],
          framebuffer: layer.framebuffer === null ? 'canvas' : 'layer',
          planes: planes,
        });
      };
      session.requestAnimationFrame(onFrame);
    },

    // A picked file goes to our decoders; a kind they do not read goes to
    // the browser's, which hands back upright pixels.
    readPicked: function(file) {
      const refuse = (reason) => ScrawletPage.withText(file.name, (name) =>
        ScrawletPage.withText(reason, (text) => Module['_scrawlet_pick_refused'](name, text)));
      file.arrayBuffer().then((buffer) => {
        const reason = ScrawletPage.withBytes(new Uint8Array(buffer), (bytes) =>
          ScrawletPage.withText(file.name, (name) =>
            UTF8ToString(Module['_scrawlet_picked'](bytes, buffer.byteLength, name))));
        if (reason === '') return;
        return ScrawletPage.decodeInBrowser(file).then((decoded) => { if (!decoded) refuse(reason); });
      }).catch((error) => refuse('the file could not be read (' + error.message + ')'));
    },

    maxPictureSide: 4096,
    decodeInBrowser: function(file) {
      return createImageBitmap(file).then((bitmap) => {
        const fit = Math.min(1, ScrawletPage.maxPictureSide / Math.max(bitmap.width, bitmap.height));
        const width = Math.max(1, Math.round(bitmap.width * fit));
        const height = Math.max(1, Math.round(bitmap.height * fit));
        const context = new OffscreenCanvas(width, height).getContext('2d');
        context.drawImage(bitmap, 0, 0, width, height);
        bitmap.close();
        const pixels = context.getImageData(0, 0, width, height).data;
        ScrawletPage.withBytes(pixels, (rgba) => Module['_scrawlet_picked_pixels'](rgba, width, height));
        return true;
      }, () => false);
    },
  },

  scrawlet_page_prepare__deps: ['$ScrawletPage', 'malloc', 'free'],
  scrawlet_page_prepare: function() {
    Promise.all([Module.storageRead, ScrawletPage.hasCamera()]).then((results) => {
      ScrawletPage.withText(JSON.stringify(ScrawletPage.facts(results[1])),
                            (facts) => Module['_scrawlet_page_ready'](facts));
    });
  },

  scrawlet_page_failed: function(message) {
    Module.page.failed(UTF8ToString(message));
  },

  scrawlet_page_launched__deps: ['$ScrawletPage', 'malloc', 'free'],
  scrawlet_page_launched: function(context) {
    ScrawletPage.context = context;
    ScrawletPage.listen();
    // window.scrawlet.run: a script against the live application.
    Module.runScript = function(text) {
      return JSON.parse(ScrawletPage.withText(String(text), (script) =>
        UTF8ToString(Module['_scrawlet_run_script'](script))));
    };
    // window.scrawlet.presented: the screen on top and what can be tapped.
    Module.presented = function() { return JSON.parse(UTF8ToString(Module['_scrawlet_presented']())); };
    Module.redraw = function() { Module['_scrawlet_redraw'](); };
    ScrawletPage.offerXr();
    Module.page.launched(Module);
  },

  scrawlet_page_frame_drawn: function(planes, milliseconds) {
    Module.page.frameDrawn(planes, milliseconds);
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
  // PNG file, or else by downloading the file.
  scrawlet_page_share: function(png, length) {
    const stamp = new Date();
    const two = (n) => String(n).padStart(2, '0');
    const name = 'Scrawlet ' + stamp.getFullYear() + '-' + two(stamp.getMonth() + 1) + '-' +
      two(stamp.getDate()) + ' ' + two(stamp.getHours()) + '.' + two(stamp.getMinutes()) + '.' +
      two(stamp.getSeconds()) + '.png';
    const file = new File([HEAPU8.slice(png, png + length)], name, { type: 'image/png' });
    const finished = () => Module['_scrawlet_share_finished']();
    if (navigator.canShare && navigator.share && navigator.canShare({ files: [file] })) {
      // Shared or cancelled, the sheet is done with.
      navigator.share({ files: [file] }).then(finished, finished);
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
    // Answered once the program is done presenting the sheet.
    Promise.resolve().then(finished);
  },
});
