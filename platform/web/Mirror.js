// The page's accessible copy of what the canvas shows, for screen readers
// and the keyboard: the overlay's round buttons as transparent DOM buttons
// where they are drawn, its text line as a polite live region, and the
// screen presented on top as a modal dialog whose buttons lie over the
// choices drawn. The program says what to mirror (AccessibleMirror.cpp);
// pressing a mirrored button taps where it is drawn. Nothing here is
// painted and nothing takes a pointer: the canvas keeps every picture and
// every gesture, and a focus ring shows only to someone using the keys.
//
// (Emscripten 3.1.6 keeps only plain data and plain functions in the
// objects below: no method shorthand, and objects made on first use.)

mergeInto(LibraryManager.library, {
  $ScrawletMirror: {
    hud: null,
    buttons: [],
    liveText: null,
    dialog: null,
    // What the dialog shows, to tell a new one from the same one moved.
    shown: null,
    // Where focus was before the dialog took it.
    returnFocus: null,

    style: '.scrawlet-mirror { position: absolute; inset: 0; pointer-events: none; }\n' +
      '.scrawlet-mirror button { position: absolute; margin: 0; padding: 0; border: 0; ' +
      'background: transparent; color: transparent; pointer-events: none; outline: none; ' +
      'border-radius: 12px; }\n' +
      '.scrawlet-mirror .round { border-radius: 50%; }\n' +
      'html[data-input=keys] .scrawlet-mirror button:focus { outline: 3px solid #fff; ' +
      'box-shadow: 0 0 0 6px #000; }\n' +
      '.scrawlet-unseen { position: absolute; width: 1px; height: 1px; margin: -1px; padding: 0; ' +
      'overflow: hidden; clip: rect(0 0 0 0); clip-path: inset(50%); white-space: nowrap; border: 0; }\n',

    build: function() {
      const overlay = document.getElementById('overlay');
      const style = document.createElement('style');
      style.textContent = ScrawletMirror.style;
      document.head.appendChild(style);
      // A focus ring is for someone moving through the buttons with keys,
      // not for a pointer that happened to open a dialog.
      const input = (kind) => () => { document.documentElement.dataset.input = kind; };
      window.addEventListener('keydown', input('keys'), true);
      window.addEventListener('pointerdown', input('pointer'), true);

      const hud = document.createElement('div');
      hud.className = 'scrawlet-mirror';
      hud.id = 'hud-mirror';
      const live = document.createElement('p');
      live.id = 'hud-text';
      live.className = 'scrawlet-unseen';
      live.setAttribute('aria-live', 'polite');
      const dialog = document.createElement('div');
      dialog.id = 'dialog-mirror';
      dialog.className = 'scrawlet-mirror';
      dialog.setAttribute('aria-modal', 'true');
      dialog.tabIndex = -1;
      dialog.hidden = true;
      dialog.addEventListener('keydown', ScrawletMirror.dialogKey);
      overlay.appendChild(hud);
      // Beside the buttons, not among them: what the line says is heard
      // while a dialog keeps the buttons out of reach ("saved" as the menu
      // closes).
      overlay.appendChild(live);
      overlay.appendChild(dialog);
      ScrawletMirror.hud = hud;
      ScrawletMirror.liveText = live;
      ScrawletMirror.dialog = dialog;
    },

    place: function(element, rect) {
      element.style.left = rect[0] + 'px';
      element.style.top = rect[1] + 'px';
      element.style.width = rect[2] + 'px';
      element.style.height = rect[3] + 'px';
    },

    // The round buttons stay the same elements while they are there, so
    // that focus stays on them.
    showButtons: function(buttons) {
      const elements = ScrawletMirror.buttons;
      while (elements.length > buttons.length) elements.pop().remove();
      buttons.forEach((button, index) => {
        let element = elements[index];
        if (!element) {
          element = document.createElement('button');
          element.type = 'button';
          element.className = 'round';
          element.addEventListener('click', () => Module['_scrawlet_mirror_press'](index));
          ScrawletMirror.hud.appendChild(element);
          elements.push(element);
        }
        element.setAttribute('aria-label', button.label);
        ScrawletMirror.place(element, button.rect);
      });
    },

    showLiveText: function(text) {
      const live = ScrawletMirror.liveText;
      if (live.textContent !== (text || '')) live.textContent = text || '';
    },

    showDialog: function(shown) {
      const dialog = ScrawletMirror.dialog;
      if (!shown) {
        if (dialog.hidden) return;
        dialog.hidden = true;
        dialog.replaceChildren();
        ScrawletMirror.shown = null;
        ScrawletMirror.hud.inert = false;
        const back = ScrawletMirror.returnFocus;
        ScrawletMirror.returnFocus = null;
        if (back && back.isConnected) back.focus();
        return;
      }
      const same = ScrawletMirror.shown && JSON.stringify(
        [ScrawletMirror.shown.kind, ScrawletMirror.shown.title, ScrawletMirror.shown.message,
         ScrawletMirror.shown.choices.map((c) => c.label)]) ===
        JSON.stringify([shown.kind, shown.title, shown.message, shown.choices.map((c) => c.label)]);
      ScrawletMirror.shown = shown;
      if (same) {
        // Moved (the page was resized): the same buttons, placed anew.
        Array.from(dialog.querySelectorAll('button')).forEach(
          (element, index) => ScrawletMirror.place(element, shown.choices[index].rect));
        return;
      }
      if (dialog.hidden && !dialog.contains(document.activeElement))
        ScrawletMirror.returnFocus = document.activeElement;
      dialog.replaceChildren();
      dialog.setAttribute('role', shown.role);
      dialog.dataset.kind = shown.kind;
      // Texts for screen readers only, which name and describe the dialog.
      const unseen = (tag, id, text) => {
        const element = document.createElement(tag);
        element.id = id;
        element.className = 'scrawlet-unseen';
        element.textContent = text;
        dialog.appendChild(element);
      };
      unseen('h2', 'dialog-title', shown.title);
      dialog.setAttribute('aria-labelledby', 'dialog-title');
      if (shown.message !== null) {
        unseen('p', 'dialog-message', shown.message);
        dialog.setAttribute('aria-describedby', 'dialog-message');
      } else {
        dialog.removeAttribute('aria-describedby');
      }
      const elements = shown.choices.map((choice, index) => {
        const element = document.createElement('button');
        element.type = 'button';
        element.setAttribute('aria-label', choice.label);
        element.dataset.style = choice.style;
        ScrawletMirror.place(element, choice.rect);
        element.addEventListener('click', () => Module['_scrawlet_mirror_choose'](index));
        dialog.appendChild(element);
        return element;
      });
      ScrawletMirror.hud.inert = true;
      dialog.hidden = false;
      // Focus starts where Enter would choose today: the bold action, or
      // else the first that destroys nothing.
      const start = shown.choices.findIndex((c) => c.default) >= 0
        ? shown.choices.findIndex((c) => c.default)
        : shown.choices.findIndex((c) => c.style !== 'destructive');
      const first = elements[start >= 0 ? start : 0];
      if (first) first.focus();
      else dialog.focus();
    },

    // The program's own keys (Esc, Enter) where a mirrored button has focus.
    sendKey: function(code) {
      ScrawletPage.withText(code, (text) => {
        Module['_scrawlet_key'](text, 1, 0, 0);
        Module['_scrawlet_key'](text, 0, 0, 0);
      });
    },

    // Keys in the dialog: Tab and the arrows move through its buttons and
    // never leave it; Esc cancels as it does over the canvas; Enter presses
    // the focused button unless that one destroys work, when it chooses
    // what Enter chooses over the canvas (never a destructive action).
    dialogKey: function(event) {
      const buttons = Array.from(ScrawletMirror.dialog.querySelectorAll('button'));
      const at = buttons.indexOf(document.activeElement);
      const step = event.key === 'Tab' ? (event.shiftKey ? -1 : 1)
        : (event.key === 'ArrowDown' || event.key === 'ArrowRight') ? 1
        : (event.key === 'ArrowUp' || event.key === 'ArrowLeft') ? -1 : 0;
      if (step !== 0 && buttons.length > 0) {
        event.preventDefault();
        const next = at < 0 ? (step > 0 ? 0 : buttons.length - 1)
                            : (at + step + buttons.length) % buttons.length;
        buttons[next].focus();
        return;
      }
      if (event.key === 'Escape') {
        event.preventDefault();
        ScrawletMirror.sendKey('Escape');
        return;
      }
      if (event.key === 'Enter' && (at < 0 || buttons[at].dataset.style === 'destructive')) {
        event.preventDefault();
        ScrawletMirror.sendKey('Enter');
      }
    },
  },

  scrawlet_page_mirror__deps: ['$ScrawletMirror', '$ScrawletPage'],
  scrawlet_page_mirror: function(json) {
    const mirror = JSON.parse(UTF8ToString(json));
    if (!ScrawletMirror.hud) ScrawletMirror.build();
    ScrawletMirror.showButtons(mirror.buttons);
    ScrawletMirror.showLiveText(mirror.liveText);
    ScrawletMirror.showDialog(mirror.dialog);
  },
});
