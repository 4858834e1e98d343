// The page around the show: loads the program while the start card shows,
// starts it fullscreen on a click (browsers allow sound and fullscreen only
// after a gesture), and offers to play again when it ends. Each play is a new
// instance of the program, as each desktop run is a new process.
//
// Query settings, for tests and figures:
//   ?at=T&size=WxH[&fps=N]  capture mode: the picture at show time T, stepped
//                           as nitrate-capture steps it (fps default 60)
//   ?tap=N                  checksum of the first N frames the sound plays
//   ?speed=F                the show's clock F times as fast (1/16 to 64);
//                           the music keeps its own rate
//   ?autostart=1            start without a click (a test browser allows it)
"use strict";

const query = new URLSearchParams(location.search);
const canvas = document.getElementById("canvas");
const stage = document.getElementById("stage");
const play = document.getElementById("play");
const again = document.getElementById("again");
const startCard = document.getElementById("start");
const endCard = document.getElementById("end");
const messages = document.getElementById("messages");

// What a test or a figure reads back (window.nitrateReport).
const report = {
  loadedMs: null, clickMs: null, firstFrameMs: null, webgl2: false, passes: 0, showMs: null,
  shownMs: null, endedMs: null, canvasSize: null, exitCode: null, messages: [], errors: [],
  capture: null, audioTap: null, audioRate: null,
};
window.nitrateReport = report;
window.addEventListener("error", event => report.errors.push(String(event.message)));

report.webgl2 = (() => {
  try {
    return !!document.createElement("canvas").getContext("webgl2");
  } catch (error) {
    return false;
  }
})();

function parseSize(text) {
  const match = /^(\d+)x(\d+)$/.exec(text || "");
  return match ? [Number(match[1]), Number(match[2])] : null;
}

function showMessage(line) {
  report.messages.push(line);
  messages.textContent += line + "\n";
}

// What the show draws: the largest 4:3 box of the stage (the screen, once
// fullscreen) in device pixels, its CSS size times devicePixelRatio. The page
// around it is black: wide stages get bars at the sides, tall ones above and
// below. (The show itself would crop a picture narrower than 4:3.)
function pictureSize() {
  const size = parseSize(query.get("size"));
  if (size) return size;
  const box = stage.getBoundingClientRect();
  const ratio = window.devicePixelRatio || 1;
  const width = Math.round(box.width * ratio), height = Math.round(box.height * ratio);
  return width * 3 <= height * 4 ? [Math.max(4, width), Math.max(3, Math.round(width * 3 / 4))]
                                 : [Math.max(4, Math.round(height * 4 / 3)), Math.max(3, height)];
}

// Centres the canvas on the stage at its drawing buffer's aspect, as large as
// fits; again whenever the stage changes size, so the picture stays 4:3.
function placeCanvas() {
  const box = stage.getBoundingClientRect();
  const aspect = canvas.width / canvas.height || 4 / 3;
  const width = Math.min(box.width, box.height * aspect);
  const height = Math.min(box.height, width / aspect);
  Object.assign(canvas.style, {width: `${width}px`, height: `${height}px`,
                               left: `${(box.width - width) / 2}px`,
                               top: `${(box.height - height) / 2}px`});
}

// Asks for fullscreen (a click's handler may) and settles once the stage has
// its fullscreen size, or at once where the browser refuses.
function enterFullscreen() {
  if (query.has("at") || !document.fullscreenEnabled || document.fullscreenElement) {
    return Promise.resolve();
  }
  const entered = stage.requestFullscreen({navigationUI: "hide"});
  const settled = new Promise(resolve => setTimeout(resolve, 1000));
  return Promise.race([entered.catch(() => {}), settled])
    .then(() => new Promise(resolve => requestAnimationFrame(resolve)));
}

function settings() {
  const captureAt = query.has("at") ? Number(query.get("at")) : -1;
  const nitrate = {
    width: 640, height: 480,  // pictureSize() when the show starts
    captureAt: Number.isFinite(captureAt) ? captureAt : -1,
    captureFps: query.has("fps") ? Number(query.get("fps")) : 60,
    audioTapFrames: query.has("tap") ? Number(query.get("tap")) : 0,
    speed: query.has("speed") ? Number(query.get("speed")) : 1,
    onMessage: showMessage,
    onCanvasShown: shown => {
      if (shown) placeCanvas();
      canvas.style.visibility = shown ? "visible" : "hidden";
      if (shown && report.shownMs === null) {
        report.shownMs = performance.now();
        report.canvasSize = [canvas.width, canvas.height];
      }
      if (shown && report.firstFrameMs === null) {
        requestAnimationFrame(() => { report.firstFrameMs = performance.now() - report.clickMs; });
      }
    },
    onCapture: (time, png) => { report.capture = {time, png}; },
    onAudioTap: tap => { report.audioTap = tap; },
    onAudioOpen: rate => { report.audioRate = rate; },
  };
  return nitrate;
}

// The program's loader fetches the content's two files and waits for ever
// when one is not there: they are asked for ahead, to say so instead.
function missingContent() {
  const files = ["content.js.metadata", "nitrate.data"];
  return Promise.all(files.map(name => fetch(name, {method: "HEAD", cache: "no-store"}).then(
    response => response.ok ? null : `${name} (${response.status} ${response.statusText})`,
    error => `${name} (${error})`))).then(lines => lines.filter(line => line !== null));
}

let instance = null;  // the next play's program, loaded ahead
function load() {
  const nitrate = settings();
  instance = NitrateShow({
    canvas,
    nitrate,
    print: line => console.log(line),
    printErr: line => console.warn(line),
  }).then(module => ({module, nitrate}));
  return instance;
}

async function start() {
  play.disabled = true;
  again.disabled = true;
  report.clickMs = performance.now();
  report.firstFrameMs = null;
  report.shownMs = null;
  report.endedMs = null;
  report.exitCode = null;
  const fullscreen = enterFullscreen();
  const {module, nitrate} = await instance;
  await fullscreen;
  [nitrate.width, nitrate.height] = pictureSize();
  startCard.hidden = true;
  endCard.hidden = true;
  messages.textContent = "";
  canvas.focus();
  report.passesNow = () => nitrate.passes || 0;
  report.syncNow = () => nitrate.sync || null;
  const began = performance.now();
  let code;
  try {
    code = await module.ccall("main", "number", ["number", "number"], [0, 0], {async: true});
  } catch (error) {
    showMessage("Error: " + error);
    code = -1;
  }
  report.endedMs = performance.now();
  report.showMs = report.endedMs - began;
  report.passes = nitrate.passes || 0;
  report.exitCode = code;
  finish(module);
}

function finish(module) {
  // Nothing of the program outlives its play: its threads and its sound go.
  if (module.nitrateAudio) module.nitrateAudio.close().catch(() => {});
  module.PThread.terminateAllThreads();
  if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
  canvas.style.visibility = "hidden";
  canvas.style.cursor = "";
  endCard.hidden = false;
  load().then(() => { again.disabled = false; });
}

if (typeof SharedArrayBuffer === "undefined" || !window.crossOriginIsolated) {
  play.textContent = "Cannot play here";
  showMessage("Error: the show needs a server that sends the cross-origin isolation headers " +
              "(make web-serve)");
} else if (!report.webgl2) {
  play.textContent = "Cannot play here";
  showMessage("Error: this browser offers no WebGL 2");
} else {
  missingContent().then(missing => {
    if (missing.length === 0) return;
    play.textContent = "Cannot play here";
    play.disabled = true;
    for (const line of missing) showMessage("Error: cannot load " + line);
    instance = null;
  });
  load().then(() => {
    if (!instance) return;
    report.loadedMs = performance.now();
    play.disabled = false;
    play.textContent = "Click to start";
    if (query.get("autostart") === "1") start();
  }, error => showMessage("Error: " + error));
  window.addEventListener("resize", placeCanvas);
  play.addEventListener("click", start);
  again.addEventListener("click", start);
  // A key starts it too, as a click does.
  window.addEventListener("keydown", event => {
    if (!startCard.hidden && !play.disabled && event.key !== "Escape") start();
  });
}
