// The program's side of the page (index.html): what it tells the page (a
// failure to show, a frame drawn), and the immersive-ar session, whose
// frames the browser hands to the program with the viewer's pose and
// projection. The page passes its own object as Module.page.

mergeInto(LibraryManager.library, {
  $ScrawletXR: {
    session: null,
    space: null,
    context: 0,
    // The XR layer's framebuffer under the name the program binds.
    framebuffer: null,
    framebufferName: 0,
    // Room for the pose and the projection, 16 floats each.
    matrices: 0,

    // The layer's framebuffer made known to Emscripten's GL bindings, so
    // that the program can bind it by name and query it back.
    nameOf: function(framebuffer) {
      if (framebuffer === null) return 0;
      if (framebuffer !== ScrawletXR.framebuffer) {
        if (ScrawletXR.framebufferName) GL.framebuffers[ScrawletXR.framebufferName] = null;
        const name = GL.getNewId(GL.framebuffers);
        framebuffer.name = name;
        GL.framebuffers[name] = framebuffer;
        ScrawletXR.framebuffer = framebuffer;
        ScrawletXR.framebufferName = name;
      }
      return ScrawletXR.framebufferName;
    },

    start: async function() {
      const page = Module.page;
      const overlay = page.overlay;
      const session = await navigator.xr.requestSession('immersive-ar', {
        requiredFeatures: ['local'],
        optionalFeatures: ['dom-overlay', 'hit-test'],
        domOverlay: overlay ? { root: overlay } : undefined,
      });
      const gl = GL.contexts[ScrawletXR.context].GLctx;
      await gl.makeXRCompatible();
      const layer = new XRWebGLLayer(session, gl, { alpha: true, antialias: true });
      session.updateRenderState({ baseLayer: layer });
      ScrawletXR.space = await session.requestReferenceSpace('local');
      ScrawletXR.session = session;
      if (!ScrawletXR.matrices) ScrawletXR.matrices = _malloc(2 * 16 * 4);
      Module['_scrawlet_xr_started']();
      page.xrStarted(session);
      session.addEventListener('end', () => {
        ScrawletXR.session = null;
        Module['_scrawlet_xr_ended']();
        page.xrEnded();
      });
      const onFrame = (time, frame) => {
        if (ScrawletXR.session !== session) return;
        session.requestAnimationFrame(onFrame);
        const pose = frame.getViewerPose(ScrawletXR.space);
        if (!pose || pose.views.length === 0) return;
        // A phone shows one view; a headset's first eye stands for it.
        const view = pose.views[0];
        const base = session.renderState.baseLayer;
        const viewport = base.getViewport(view);
        const floats = ScrawletXR.matrices >> 2;
        HEAPF32.set(view.transform.matrix, floats);
        HEAPF32.set(view.projectionMatrix, floats + 16);
        // Some implementations give no framebuffer of their own: then the
        // page's canvas is the layer.
        const planes = Module['_scrawlet_xr_frame'](
          ScrawletXR.nameOf(base.framebuffer), viewport.x, viewport.y, viewport.width,
          viewport.height, ScrawletXR.matrices, ScrawletXR.matrices + 64);
        page.xrFrameDrawn({
          time: time,
          cameraToWorld: Array.from(view.transform.matrix),
          projection: Array.from(view.projectionMatrix),
          viewport: [viewport.x, viewport.y, viewport.width, viewport.height],
          framebuffer: base.framebuffer === null ? 'canvas' : 'layer',
          planes: planes,
        });
      };
      session.requestAnimationFrame(onFrame);
    },
  },

  scrawlet_page_failed: function(message) {
    Module.page.failed(UTF8ToString(message));
  },

  scrawlet_page_frame_drawn: function(planes) {
    Module.page.frameDrawn(planes);
  },

  // Shows the page's "Enter AR" button where the browser can start an
  // immersive-ar session, and says so where it cannot.
  scrawlet_xr_offer__deps: ['$ScrawletXR', 'malloc'],
  scrawlet_xr_offer: function(context) {
    ScrawletXR.context = context;
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
      page.offerXr(() => ScrawletXR.start().catch((error) => {
        page.xrUnavailable('Augmented reality could not start: ' + error.message);
      }));
    }, (error) => page.xrUnavailable('WebXR answered: ' + error.message));
  },
});
