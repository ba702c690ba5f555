// Makes the page an app that can be installed and comes up offline: its
// service worker keeps the page's files once it has been visited. Browsers
// without service workers (or pages not served over HTTPS or from the
// machine itself) go on without it.
'use strict';
if ('serviceWorker' in navigator) {
  addEventListener('load', () => {
    navigator.serviceWorker.register('sw.js').catch((error) =>
      console.warn('Scrawlet: the page will not work offline:', error));
  });
}
