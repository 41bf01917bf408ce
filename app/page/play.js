// The page around the browser game: hands the game its arguments (the score
// server is this page's own origin; ?watch=N plays that verified row's
// replay), keeps the player's folder (name, settings, outbox, tickets) in the
// browser's storage, and shows what the game cannot say on its canvas.
// window.munchet is what the page's tests read.
'use strict';
(function () {
  const tablePath = '/hosted/vlkn/scores/pr/';
  const home = '/home/web_user';
  const watchedFile = '/watched.mfr';
  const status = document.getElementById('status');
  const watch = new URLSearchParams(location.search).get('watch');
  const watchId = watch !== null && /^[0-9]{1,18}$/.test(watch) ? watch : null;
  const server = (location.protocol === 'https:' ? 'https://' : '') + location.host;
  const args = ['/WINDOW', '/SERVER=' + server];
  if (watchId) args.push('/REPLAY=' + watchedFile);

  function say(text) { status.textContent = text; }

  if (watch !== null && !watchId) {
    say('There is no game numbered "' + watch + '" to watch.');
    return;
  }
  if (!window.crossOriginIsolated) {
    say('The game needs its server to isolate this page (Cross-Origin-Opener-Policy and ' +
        'Cross-Origin-Embedder-Policy), and this one does not.');
    return;
  }

  let endedNow;
  const ended = new Promise(function (resolve) { endedNow = resolve; });
  const Module = {
    arguments: args,
    canvas: document.getElementById('screen'),
    munchetDigests: [],
    munchetFrameCost: [],
    munchetFirstFrameAt: null,
    munchetEnded: function () {
      say(watchId ? 'The game is over. ' : 'Thanks for playing: reload the page to play again. ');
      const again = document.createElement('a');
      again.href = location.pathname + location.search;
      again.textContent = watchId ? 'Watch it again' : 'Play again';
      status.appendChild(again);
      persist();
      endedNow();
    },
    print: function (text) { console.log(text); },
    // The game's own word on why it cannot go on (a replay of other rules,
    // no WebGL) is for the player, as a terminal would show it.
    printErr: function (text) {
      console.warn(text);
      if (text.startsWith('munchet: ')) say(text.slice(9));
    },
    preRun: [keepPlayerFolder, fetchWatchedGame],
    onRuntimeInitialized: function () { say(''); },
    onAbort: function (what) { say('The game stopped: ' + what); },
  };
  window.Module = Module;

  // The player's folder lives in the browser's IndexedDB: read before the
  // game starts, written back now and then and when the page goes away.
  let syncing = false, again = false;
  function persist() {
    if (syncing) { again = true; return; }
    syncing = true;
    Module.FS.syncfs(false, function (error) {
      syncing = false;
      if (error) console.warn('Could not keep the player folder: ' + error);
      if (again) { again = false; persist(); }
    });
  }
  function keepPlayerFolder() {
    const FS = Module.FS;
    FS.mkdirTree(home);
    FS.mount(FS.filesystems.IDBFS, {}, home);
    Module.addRunDependency('player-folder');
    FS.syncfs(true, function (error) {
      if (error) console.warn('Could not read the player folder: ' + error);
      Module.removeRunDependency('player-folder');
    });
    setInterval(persist, 2000);
    addEventListener('pagehide', persist);
    document.addEventListener('visibilitychange', function () { if (document.hidden) persist(); });
  }

  function fetchWatchedGame() {
    if (!watchId) return;
    say('Fetching game ' + watchId + '…');
    Module.addRunDependency('watched-game');
    fetch(tablePath + 'replay.php?id=' + watchId, { credentials: 'same-origin' })
      .then(function (answer) {
        if (!answer.ok) throw new Error('the server answered ' + answer.status);
        return answer.arrayBuffer();
      })
      .then(function (bytes) {
        Module.FS.writeFile(watchedFile, new Uint8Array(bytes));
        Module.removeRunDependency('watched-game');
        say('');
      })
      .catch(function (error) { say('Game ' + watchId + ' could not be fetched: ' + error.message + '.'); });
  }

  window.munchet = {
    frames: function () { return Module.calledRun ? window.munchet.state().frames : 0; },
    digests: Module.munchetDigests,
    frameCost: Module.munchetFrameCost,
    get firstFrameAt() { return Module.munchetFirstFrameAt; },
    state: function () { return JSON.parse(Module.ccall('munchet_state_json', 'string', [], [])); },
    audioState: function () { return Module.munchetAudioState ? Module.munchetAudioState() : 'none'; },
    ended: ended,
  };

  const script = document.createElement('script');
  script.src = 'munchet.js';
  script.onerror = function () { say('The game could not be loaded.'); };
  document.body.appendChild(script);
})();
