// The documents folder in the browser's IndexedDB. It is read in once
// before the program launches (Emscripten's IDBFS), and each saved file is
// written back at once, its bytes under its path in the same database, the
// program told when the browser has them or why not. Writes under way are
// pushed through when the page is hidden or goes away, and leaving with a
// change not yet kept asks first.

mergeInto(LibraryManager.library, {
  $ScrawletStorage: {
    // The mounted folder, which names IDBFS's database.
    folder: null,
    // Writes under way (promises) and their open transactions, so that the
    // page (and its tests) can wait for them and push them through.
    // (Emscripten keeps only plain data in this object: they are made on
    // first use.)
    writes: null,
    transactions: null,
    persistAsked: false,

    // Writes `bytes` under `path`, as IDBFS stores a file; settles once
    // the transaction is done, or fails with the browser's reason.
    write: function(path, bytes, mode) {
      return new Promise((resolve, reject) => {
        IDBFS.getDB(ScrawletStorage.folder, (error, db) => {
          if (error) return reject(error);
          let transaction;
          try {
            transaction = db.transaction([IDBFS.DB_STORE_NAME], 'readwrite');
            transaction.objectStore(IDBFS.DB_STORE_NAME)
              .put({ timestamp: new Date(), mode: mode, contents: bytes }, path);
          } catch (thrown) {
            if (transaction) try { transaction.abort(); } catch (ignored) { /* already over */ }
            return reject(thrown);
          }
          ScrawletStorage.transactions.add(transaction);
          const over = () => ScrawletStorage.transactions.delete(transaction);
          transaction.oncomplete = () => { over(); resolve(); };
          // A failed request aborts the transaction, which says why.
          transaction.onerror = (event) => event.preventDefault();
          transaction.onabort = () => {
            over();
            reject(transaction.error || new DOMException('the write was abandoned', 'AbortError'));
          };
        });
      });
    },

    // Asks the browser to push the writes under way through now.
    flush: function() {
      for (const transaction of ScrawletStorage.transactions) {
        try { if (transaction.commit) transaction.commit(); } catch (ignored) { /* already over */ }
      }
    },

    // Once something is kept, the browser is asked not to evict the site's
    // storage when space runs short.
    askToPersist: function() {
      if (ScrawletStorage.persistAsked) return;
      ScrawletStorage.persistAsked = true;
      if (navigator.storage && navigator.storage.persist)
        navigator.storage.persist().catch((error) => console.warn('Scrawlet: storage not made persistent:', error));
    },
  },

  // Mounts the folder and starts reading what the browser kept of it;
  // Module.storageRead settles once it is read.
  scrawlet_storage_mount__deps: ['$ScrawletStorage', '$IDBFS', '$FS'],
  scrawlet_storage_mount: function(path) {
    const folder = UTF8ToString(path);
    ScrawletStorage.folder = folder;
    ScrawletStorage.writes = new Set();
    ScrawletStorage.transactions = new Set();
    FS.mkdirTree(folder);
    FS.mount(IDBFS, {}, folder);
    // How many writes were kept and how many failed, for tests and
    // measurements.
    Module.storageWrites = { kept: 0, failed: 0 };
    // Settles once every write asked for so far is over: true when all
    // were kept.
    Module.storagePersisted = () => Promise.all([...ScrawletStorage.writes])
      .then((kept) => kept.every(Boolean));
    Module.storageRead = new Promise((resolve) => {
      FS.syncfs(true, (error) => {
        // Without stored documents (a private window, storage refused) the
        // folder starts empty; saving then says it failed.
        if (error) console.warn('Scrawlet: the kept documents could not be read:', error);
        resolve(!error);
      });
    });
    addEventListener('pagehide', ScrawletStorage.flush);
    document.addEventListener('visibilitychange', () => {
      if (document.visibilityState === 'hidden') ScrawletStorage.flush();
    });
    addEventListener('beforeunload', (event) => {
      if (!Module['_scrawlet_unsaved_changes']()) return;
      event.preventDefault();
      event.returnValue = '';
    });
  },

  // Keeps `length` bytes at `bytes` as the file at `path`, and answers
  // write `id` when the browser has them, or with why not.
  scrawlet_storage_keep__deps: ['$ScrawletStorage', '$ScrawletPage', '$IDBFS', '$FS'],
  scrawlet_storage_keep: function(id, path, bytes, length) {
    const file = UTF8ToString(path);
    const contents = HEAPU8.slice(bytes, bytes + length);
    let mode;
    try { mode = FS.stat(file).mode; } catch (error) { mode = 33206; }
    const answer = (done, reason) => ScrawletPage.withText(reason, (text) =>
      Module['_scrawlet_storage_answered'](id, done ? 1 : 0, text));
    const write = ScrawletStorage.write(file, contents, mode).then(() => {
      ScrawletStorage.writes.delete(write);
      Module.storageWrites.kept += 1;
      answer(true, '');
      ScrawletStorage.askToPersist();
      return true;
    }, (error) => {
      ScrawletStorage.writes.delete(write);
      Module.storageWrites.failed += 1;
      const reason = error && error.name === 'QuotaExceededError'
        ? 'the browser\'s storage is full' : String((error && (error.message || error.name)) || error);
      console.warn('Scrawlet: the drawing could not be kept:', error);
      answer(false, reason);
      return false;
    });
    ScrawletStorage.writes.add(write);
  },
});
