// The page's half of the camera-through mode (CameraThrough.cpp): the rear
// camera's video behind the transparent canvas, and the orientation
// sensor's readings for the program to turn its camera with. What the mode
// needs is asked for inside the person's tap, all at once, as iOS requires:
// the camera, and where the browser asks for them, orientation and motion.
//
// (Emscripten 3.1.6 keeps only plain data and plain functions in the
// objects below: no method shorthand.)

mergeInto(LibraryManager.library, {
  $ScrawletCamera: {
    stream: null,
    listener: null,
    // A device that has sent nothing this long after the mode started has
    // no sensor to send with.
    silentMs: 1000,
    silence: 0,

    video: function() { return document.getElementById('camera'); },
    overlay: function() { return document.getElementById('overlay'); },
    running: function() { return ScrawletCamera.stream !== null; },

    // Whether the page can have a camera: one is among the devices. Firefox
    // answers this only once its window has focus; nothing waits on it.
    offered: function() {
      const devices = navigator.mediaDevices;
      if (!devices || !devices.getUserMedia || !devices.enumerateDevices) return Promise.resolve(false);
      return devices.enumerateDevices().then(
        (list) => list.some((device) => device.kind === 'videoinput'), () => false);
    },

    // The angle the screen's picture is turned by, as the sensor's angles
    // need it.
    screenAngle: function() {
      if (screen.orientation && typeof screen.orientation.angle === 'number') return screen.orientation.angle;
      return typeof window.orientation === 'number' ? window.orientation : 0;
    },

    // Asks for everything at once; called inside the tap. Resolves once the
    // video shows; rejects with what is missing: {missing: 'camera' or
    // 'orientation', dismissed (the prompt went unanswered), error}.
    start: function() {
      const ask = (kind) => (kind && typeof kind.requestPermission === 'function'
        ? kind.requestPermission() : Promise.resolve('granted'));
      const orientation = ask(window.DeviceOrientationEvent);
      const motion = ask(window.DeviceMotionEvent);
      const camera = navigator.mediaDevices.getUserMedia({
        audio: false,
        // Not `exact`: a device that cannot say which way its camera faces
        // (a laptop's, a test's) would be refused.
        video: { facingMode: { ideal: 'environment' } },
      });
      return Promise.allSettled([camera, orientation, motion]).then((answers) => {
        // (No destructuring: Emscripten's optimiser loses its names.)
        const video = answers[0], turned = answers[1];
        ScrawletPage.motionAnswered(answers[2]);
        if (video.status === 'rejected') throw { missing: 'camera', dismissed: false, error: video.reason };
        if (turned.status === 'rejected' || turned.value !== 'granted') {
          video.value.getTracks().forEach((track) => track.stop());
          throw { missing: 'orientation', dismissed: turned.status === 'rejected', error: turned.reason };
        }
        return ScrawletCamera.show(video.value);
      });
    },

    show: function(stream) {
      const video = ScrawletCamera.video();
      ScrawletCamera.stream = stream;
      video.srcObject = stream;
      video.hidden = false;
      const sized = new Promise((resolve) => {
        if (video.videoWidth > 0) resolve();
        else video.addEventListener('loadedmetadata', () => resolve(), { once: true });
      });
      return Promise.all([video.play(), sized]).then(() => {
        if (ScrawletCamera.stream !== stream) return;
        video.onresize = () => Module['_scrawlet_camera_picture_size'](video.videoWidth, video.videoHeight);
        // The camera taken away (another app, a revoked permission) ends the mode.
        stream.getVideoTracks().forEach((track) => track.addEventListener('ended', () => ScrawletCamera.stop()));
        Module['_scrawlet_camera_started'](video.videoWidth, video.videoHeight);
        ScrawletCamera.listen();
      }, (error) => {
        ScrawletCamera.stop(true);
        throw { missing: 'camera', dismissed: false, error: error };
      });
    },

    // Every reading goes to the program; what it means for the person goes
    // to the page.
    listen: function() {
      const page = Module.page;
      let heard = false;
      const tell = (alpha, beta, gamma) => {
        const angle = (value) => (typeof value === 'number' ? value : NaN);
        Module['_scrawlet_camera_orientation'](angle(alpha), angle(beta), angle(gamma), ScrawletCamera.screenAngle());
      };
      ScrawletCamera.listener = (event) => {
        const none = event.alpha === null && event.beta === null && event.gamma === null;
        tell(event.alpha, event.beta, event.gamma);
        if (!heard || none) page.cameraSensor(none ? 'missing' : 'present');
        heard = heard || !none;
      };
      if (typeof DeviceOrientationEvent === 'undefined') {
        tell(null, null, null);
        page.cameraSensor('missing');
        return;
      }
      window.addEventListener('deviceorientation', ScrawletCamera.listener);
      ScrawletCamera.silence = setTimeout(() => {
        if (heard) return;
        tell(null, null, null);
        page.cameraSensor('missing');
      }, ScrawletCamera.silentMs);
    },

    // Back to the room; `quietly` when the mode never started.
    stop: function(quietly) {
      const stream = ScrawletCamera.stream;
      if (stream === null) return;
      ScrawletCamera.stream = null;
      stream.getTracks().forEach((track) => track.stop());
      clearTimeout(ScrawletCamera.silence);
      if (ScrawletCamera.listener) window.removeEventListener('deviceorientation', ScrawletCamera.listener);
      ScrawletCamera.listener = null;
      const video = ScrawletCamera.video();
      video.onresize = null;
      video.srcObject = null;
      video.hidden = true;
      if (quietly) return;
      Module['_scrawlet_camera_ended']();
      Module.page.modeEnded('camera');
    },

    // The camera's picture as the page shows it (covering the page, cropped
    // at the centre) into a picture of `width` by `height` pixels that shows
    // the page's bottom part at its width, as a shared picture does.
    drawPicture: function(context, width, height) {
      const video = ScrawletCamera.video();
      if (!ScrawletCamera.running() || !(video.videoWidth > 0)) return false;
      const box = ScrawletCamera.overlay().getBoundingClientRect();
      const scale = width / box.width;
      const cover = Math.max(box.width / video.videoWidth, box.height / video.videoHeight);
      const shownWidth = video.videoWidth * cover, shownHeight = video.videoHeight * cover;
      const top = height - box.height * scale;
      context.drawImage(video, ((box.width - shownWidth) / 2) * scale,
                        top + ((box.height - shownHeight) / 2) * scale,
                        shownWidth * scale, shownHeight * scale);
      return true;
    },
  },
});
