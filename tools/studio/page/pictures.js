// ---- Pictures: only the newest revision is ever shown -----------------------
//
// The server sends a picture's pixels bare, as its PNG would hold them, and
// the page puts them on a canvas: no encoding on one side, no decoding on
// the other. The swatch comes first: the viewport's picture is asked for once
// the swatch is on screen, and the chart after it, so that neither holds up
// the picture the user watches. A
// request for an older revision is cancelled: its picture would never be
// shown.
import { $, withToken, showError } from './dom.js';
import { state } from './studio.js';

// `waiters`: those waiting for the picture of a revision, [revision, resolve].
// `draft`: the swatch shown is the half-size one of a drag.
const pictures = {
  swatch: { busy: false, shown: 0, asked: 0, controller: null, timings: [], waiters: [],
            draft: false },
  viewport: { busy: false, shown: 0, asked: 0, controller: null, timings: [], waiters: [],
              draft: false },
  chart: { busy: false, shown: 0, asked: 0, controller: null, timings: [], waiters: [],
           draft: false },
};

// While a drag moves, the swatch comes at half its size (a quarter of the
// work), so that it keeps up with the pointer; once the drag rests this
// long, or ends, the full one follows.
const DRAFT_REST_MS = 100;
let dragsUnderway = 0;
let lastDragStep = -Infinity;

export function dragStarted() {
  ++dragsUnderway;
}

export function dragStepSent() {
  lastDragStep = performance.now();
}

export function dragEnded() {
  --dragsUnderway;
  fetchPicture('swatch');
}

const draftWanted = () =>
  dragsUnderway > 0 && performance.now() - lastDragStep < DRAFT_REST_MS;
// Milliseconds from a change's input to the first picture that holds it.
window.studioTimings = pictures.swatch.timings;
window.studioChartTimings = pictures.chart.timings;
// When each change's input came, by the revision it made, per picture.
const changeStarted = { swatch: new Map(), viewport: new Map(), chart: new Map() };

export function noteChange(revision, started) {
  for (const byRevision of Object.values(changeStarted)) byRevision.set(revision, started);
}

/// Resolves once picture `name` shows `revision` or a newer one, or after
/// `limit` ms (a picture that failed must not hold up a drag for good).
function pictureShown(name, revision, limit) {
  const picture = pictures[name];
  if (picture.shown >= revision) return Promise.resolve();
  return new Promise((resolve) => {
    picture.waiters.push([revision, resolve]);
    setTimeout(resolve, limit);
  });
}

export const swatchShown = (revision) => pictureShown('swatch', revision, 250);

/// Resolves once the chart shows `revision` or a newer one, at once when it
/// is not behind by more than `behind` ms, or after `limit` ms: a drag gives
/// the chart a turn now and then (it follows within about 200 ms), while the
/// swatch keeps pace with the pointer.
export function chartCaughtUp(revision, behind = 150, limit = 40) {
  const oldest = Math.min(...changeStarted.chart.values());
  if (performance.now() - oldest < behind) return Promise.resolve();
  return pictureShown('chart', revision, limit);
}

// A tab that hears of another tab's changes draws them once they pause for
// this long, and at least this often while they go on: a drag in one tab
// would otherwise have every tab render each of its steps, and slow it down.
const FOLLOW_QUIET_MS = 200;
const FOLLOW_LONGEST_MS = 2000;
let followTimer = null;
let followSince = 0;

/// Asks for the pictures of the state shown: at once for a change of this
/// tab's, a little later for one it heard of (`heard`).
export function wantPictures(heard = false) {
  placePictures();
  if (heard) {
    const now = performance.now();
    if (followTimer === null) followSince = now;
    else clearTimeout(followTimer);
    const wait = Math.max(0, Math.min(FOLLOW_QUIET_MS, followSince + FOLLOW_LONGEST_MS - now));
    followTimer = setTimeout(() => {
      followTimer = null;
      showNewest();
    }, wait);
    return;
  }
  if (followTimer !== null) clearTimeout(followTimer);
  followTimer = null;
  showNewest();
}

// A tab out of sight draws nothing until it is looked at again.
document.addEventListener('visibilitychange', () => {
  if (!document.hidden && state) showNewest();
});

function showNewest() {
  if (document.hidden) return;
  for (const picture of Object.values(pictures)) {
    if (picture.controller && picture.asked !== state.revision) picture.controller.abort();
  }
  fetchPicture('swatch');
}

// ---- Where the pictures go, and at what size ---------------------------------
//
// The page gives each picture the room there is: beside the chart when the
// column is wide, above it when it is narrow, all of them within the
// window's height, so that they stay in view as the panel scrolls. Each is
// drawn at the screen's own pixels (its size on the page times the device's
// pixel ratio): sharp at any ratio, and the chart's text as large as it is
// meant to be, however large the chart.
const GAP = 16;             // between the pictures (1em)
const CAPTION = 24;         // a caption's line under its picture
const VIEWPORT = 64;        // the viewport's picture, on the page
const CHART_BESIDE = 320;   // the chart goes beside the swatch when it is this wide there
const SWATCH_LARGEST = 640;
const CHART_SMALLEST = 200;
// A larger chart shows nothing more, and would take long to draw on a
// screen of twice the pixels.
const CHART_LARGEST = 1100;
// The size of each picture on the page and on the screen:
// { css: [w, h], device: [w, h], scale } by name.
const placed = {};

function clamp(value, low, high) {
  return Math.max(low, Math.min(high, value));
}

/// Sizes the pictures to the room there is; true when one changed.
function placePictures() {
  const column = $('pictures').clientWidth;
  if (!column || !state) return false;
  // The pictures stay in view beside the panel: within the window's height
  // below the header, where they are before the page scrolls.
  const top = $('pictures').getBoundingClientRect().top + window.scrollY;
  const room = Math.max(240, innerHeight - top - GAP);
  const [chartWidth, chartHeight] = state.chart;
  const aspect = chartHeight / chartWidth;
  let swatch = clamp(Math.min(column * 0.36, room - CAPTION), 128, SWATCH_LARGEST);
  let chart = column - swatch - VIEWPORT - 2 * GAP - 2;
  if (chart >= CHART_BESIDE) {
    chart = Math.min(chart, (room - CAPTION) / aspect);
  } else {
    swatch = clamp(Math.min(column - VIEWPORT - GAP, (room - 2 * CAPTION - GAP) * 0.45), 96,
                   state.swatch[0]);
    chart = Math.min(column, (room - swatch - 2 * CAPTION - GAP) / aspect);
  }
  chart = clamp(chart, CHART_SMALLEST, CHART_LARGEST);
  const ratio = window.devicePixelRatio || 1;
  const scale = clamp(Math.round(ratio), 1, 4);
  const sizes = {
    swatch: [Math.floor(swatch), Math.floor(swatch)],
    viewport: [VIEWPORT, VIEWPORT],
    chart: [Math.floor(chart), Math.floor(chart * aspect)],
  };
  let changed = false;
  // For the tests: the window size the pictures were last placed for.
  document.documentElement.dataset.placedFor = innerWidth + 'x' + innerHeight + '@' + ratio;
  for (const [name, css] of Object.entries(sizes)) {
    const device = css.map((v) => Math.round(v * ratio));
    const before = placed[name];
    if (before && before.device[0] === device[0] && before.device[1] === device[1] &&
        before.css[0] === css[0] && before.css[1] === css[1]) {
      continue;
    }
    placed[name] = { css, device, scale };
    const canvas = $(name);
    canvas.style.width = css[0] + 'px';
    canvas.style.height = css[1] + 'px';
    // Sized before the picture comes, so that nothing moves when it does.
    if (canvas.width !== device[0] || canvas.height !== device[1]) {
      canvas.width = device[0];
      canvas.height = device[1];
      // What was drawn is gone with the old size: drawn again at the new one.
      pictures[name].shown = 0;
      delete canvas.dataset.revision;
      changed = true;
    }
  }
  return changed;
}

/// The query that asks for picture `name` at the size it is shown at.
function sizeQuery(name) {
  const { device, scale } = placed[name];
  return '&width=' + device[0] + (name === 'chart' ? '&height=' + device[1] + '&scale=' + scale
    : '');
}

// Placed at once; drawn again at the new size once the resizing rests.
let placing = null;
function placeAgain() {
  if (!placePictures()) return;
  clearTimeout(placing);
  placing = setTimeout(showNewest, 100);
}
window.addEventListener('resize', placeAgain);
new ResizeObserver(placeAgain).observe($('pictures'));

async function fetchPicture(name) {
  const picture = pictures[name];
  const draft = name === 'swatch' && draftWanted();
  // A draft of the revision shown is enough while the drag moves.
  if (!placed[name] || picture.busy) return;
  if (picture.shown === state.revision && (!picture.draft || draft)) {
    // This one is current; the ones after it may not be (drawn again at a
    // new size, say).
    if (name === 'swatch' && !draft) fetchPicture('viewport');
    else if (name === 'viewport') fetchPicture('chart');
    return;
  }
  picture.busy = true;
  const revision = state.revision;
  const [fullWidth, fullHeight] = placed[name].device;
  // The draft is the swatch at half its size, as the server makes it.
  const [width, height] = draft ? [Math.floor(fullWidth / 2), Math.floor(fullHeight / 2)]
    : [fullWidth, fullHeight];
  picture.asked = revision;
  picture.controller = new AbortController();
  try {
    const path = draft ? '/api/swatch-draft.rgba' : '/api/' + name + '.rgba';
    const response = await fetch(withToken(path + '?revision=' + revision + sizeQuery(name)),
      { signal: picture.controller.signal });
    // 204: a newer change superseded this revision; its own request follows.
    if (response.status === 204) {
      // nothing to show
    } else if (response.ok) {
      const pixels = new Uint8ClampedArray(await response.arrayBuffer());
      if (revision === state.revision && pixels.length === width * height * 4) {
        drawPicture(name, new ImageData(pixels, width, height), revision, draft);
      }
    } else {
      const reply = await response.json().catch(() => ({}));
      showError(reply.error || name + ' could not be drawn (' + response.status + ')');
    }
  } catch (error) {
    // Cancelled for a newer revision, or the server went away (the next
    // change says so).
  } finally {
    picture.busy = false;
    picture.controller = null;
  }
  if (picture.shown !== state.revision) {
    fetchPicture(name);
  } else if (name === 'swatch') {
    fetchPicture('viewport');
    // The full swatch once the drag has rested, or at once when it is over.
    if (picture.draft) {
      setTimeout(() => fetchPicture('swatch'),
        Math.max(0, lastDragStep + DRAFT_REST_MS - performance.now()));
    }
  } else if (name === 'viewport') {
    fetchPicture('chart');
  }
}

// A draft is drawn here first, then scaled onto the swatch's canvas.
const draftCanvas = document.createElement('canvas');

function drawPicture(name, image, revision, draft = false) {
  const canvas = $(name);
  const context = canvas.getContext('2d');
  if (draft) {
    draftCanvas.width = image.width;
    draftCanvas.height = image.height;
    draftCanvas.getContext('2d').putImageData(image, 0, 0);
    context.imageSmoothingEnabled = true;
    context.drawImage(draftCanvas, 0, 0, canvas.width, canvas.height);
  } else {
    context.putImageData(image, 0, 0);
  }
  canvas.dataset.revision = revision;
  canvas.dataset.draft = draft ? '1' : '';
  const picture = pictures[name];
  picture.shown = revision;
  picture.draft = draft;
  const now = performance.now();
  const started = changeStarted[name];
  for (const [r, time] of started) {
    if (r > revision) continue;
    picture.timings.push(now - time);
    started.delete(r);
  }
  const { waiters } = picture;
  for (let i = waiters.length - 1; i >= 0; --i) {
    if (waiters[i][0] <= revision) waiters.splice(i, 1)[0][1]();
  }
}
