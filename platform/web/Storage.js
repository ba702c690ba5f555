// The documents folder in the browser's IndexedDB (Emscripten's IDBFS):
// read in once before the program launches, written back whenever the host
// sees its files change (after every save).

mergeInto(LibraryManager.library, {
  $ScrawletStorage: {
    // Writes still under way, so that the page (and its tests) can wait for
    // them before it goes away. (Emscripten keeps only plain data in this
    // object: the promises are made on first use.)
    pending: null,
  },

  // Mounts the folder and starts reading what the browser kept of it;
  // Module.storageRead settles once it is read.
  scrawlet_storage_mount__deps: ['$ScrawletStorage', '$IDBFS', '$FS'],
  scrawlet_storage_mount: function(path) {
    const folder = UTF8ToString(path);
    FS.mkdirTree(folder);
    FS.mount(IDBFS, {}, folder);
    Module.storagePersisted = () => ScrawletStorage.pending || Promise.resolve(true);
    Module.storageRead = new Promise((resolve) => {
      FS.syncfs(true, (error) => {
        // Without stored documents (a private window, storage refused) the
        // folder starts empty; the drawing can still be made and saved for
        // the visit.
        if (error) console.warn('Scrawlet: the kept documents could not be read:', error);
        resolve(!error);
      });
    });
  },

  scrawlet_storage_persist__deps: ['$ScrawletStorage', '$FS'],
  scrawlet_storage_persist: function() {
    ScrawletStorage.pending = (ScrawletStorage.pending || Promise.resolve(true)).then(() => new Promise((resolve) => {
      FS.syncfs(false, (error) => {
        if (error) console.warn('Scrawlet: the documents could not be kept:', error);
        resolve(!error);
      });
    }));
  },
});
