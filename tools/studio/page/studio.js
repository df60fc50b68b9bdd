// The studio page: draws the panels the server describes, sends what the
// user does to them, and shows the pictures of the newest revision only.
// The page loads this module; it imports the others, and starts the page
// once they are all in.
import { $, withToken, showError, clearError } from './dom.js';
import { noteChange, wantPictures } from './pictures.js';
import { shownValue, refreshEdit, makeEdit, makeSpinner } from './spinner.js';
import { updateHistory, openResetMenu } from './editing.js';
import { hideConflict, listen } from './files.js';

// Dialog units to pixels: the base units of the template's font, 8-point
// MS Sans Serif at 96 dpi (6 x 13 pixels; a unit is a quarter by an eighth).
const DLU_X = 6 / 4;
const DLU_Y = 13 / 8;
const SS_RIGHT = 0x2;
const SS_CENTER = 0x1;
// A template gives a drop-down list the height it opens to; closed it is one
// line high.
const CLOSED_LIST_DLU = 12;

export let state = null;
let structure = '';
const elements = new Map();          // "panel:id:kind:rect" -> element

/// Posts `body` to `path`: { ok, status, reply, started }, or null when the
/// studio does not answer (which it shows). `started` is when the user's
/// input came, for the latency figures.
export async function send(path, body, started = performance.now()) {
  let response;
  ++sending;
  try {
    response = await fetch(withToken(path), {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify(body),
    });
  } catch (error) {
    showError('The studio does not answer: is `nacrelle studio` still running?');
    return null;
  } finally {
    --sending;
  }
  const reply = await response.json().catch(() => ({ error: 'unreadable answer' }));
  return { ok: response.ok, status: response.status, reply, started };
}

// Changes of this tab's on their way: a state heard meanwhile may be the
// answer to one of them, whose pictures the user waits for.
let sending = 0;

/// `message` with each "control N" named as the user reads it beside the
/// control: its label, or its own text.
function withLabels(message) {
  return message.replace(/\bcontrol (\d+)\b/g, (whole, id) => {
    for (const rollout of state ? state.rollouts : []) {
      let found = rollout.controls.find((c) => c.id === Number(id));
      if (!found) continue;
      if (found.kind === 'spinner') {
        found = rollout.controls.find((c) => c.kind === 'edit' && c.param === found.param) || found;
      }
      const name = found.text && found.kind !== 'edit' ? found.text
        : labelFor(found, rollout.controls).replace(/:\s*$/, '');
      if (name) return '"' + name + '"';
    }
    return whole;
  });
}

export function refused(answer) {
  const { reply } = answer;
  showError(withLabels(reply.error || 'refused (' + answer.status + ')'));
  // Meant for a scene another tab has changed: this one shows it as it is
  // (unless it has heard of a later state already), and puts back what the
  // user typed over.
  const newer = reply.conflict === 'stale' && reply.state &&
    !(state && reply.state.serial <= state.serial);
  update(newer ? reply.state : state);
  return null;
}

export function accepted({ reply, started }) {
  clearError();
  if (reply.revision > notedRevision) noteChange(reply.revision, started);
  take(reply);
  for (const address of reply.opened || []) {
    if (/^https?:\/\//.test(address)) window.open(address, '_blank', 'noopener');
  }
  return reply;
}

// The newest revision whose input time is noted, for the latency figures.
let notedRevision = 0;
// Changes go one after another, each meant for the revision the page shows
// once the one before has been answered: the server refuses a change meant
// for a scene that another tab has changed meanwhile. A save waits its turn
// too, so that what was typed just before is in the file.
let lastRequest = Promise.resolve();
// Changes asked for and not yet answered, and drags not yet over: the page
// is settled when there are none (the tests wait for that).
let unfinished = 0;

export function busy(delta) {
  unfinished += delta;
  document.documentElement.dataset.unfinished = String(unfinished);
}
busy(0);

/// Runs `work` once every change asked for before it has been answered.
export function inTurn(work) {
  busy(1);
  const done = lastRequest.then(work).finally(() => busy(-1));
  lastRequest = done.catch(() => null);
  return done;
}

/// Asks for a change: `body`, or a function that makes it when its turn
/// comes (from the state as it is then).
export function request(path, body, started) {
  return inTurn(async () => {
    const made = typeof body === 'function' ? body() : body;
    const answer = await send(path, Object.assign({ revision: state.revision }, made), started);
    if (!answer) return null;
    return answer.ok ? accepted(answer) : refused(answer);
  });
}

/// Control `id` (of `kind`) of panel `panel` as the newest state has it.
export function stateControl(panel, id, kind = 'edit') {
  for (const rollout of state.rollouts) {
    if (rollout.panel !== panel) continue;
    const found = rollout.controls.find((c) => c.id === id && c.kind === kind);
    if (found) return found;
  }
  return null;
}

export function panelInput(panel, id, action, extra = {}, started = undefined) {
  return request('/api/panel', Object.assign({ panel, id, action }, extra), started);
}

// ---- Drawing the panels ------------------------------------------------------

function place(element, rect) {
  element.style.left = rect[0] * DLU_X + 'px';
  element.style.top = rect[1] * DLU_Y + 'px';
  element.style.width = rect[2] * DLU_X + 'px';
  element.style.height = rect[3] * DLU_Y + 'px';
}

/// The static text that labels an edit: on its row to its left, else the
/// nearest one above it in its column.
export function labelFor(control, controls) {
  // Dialog units a label may overlap its control by and still be beside it.
  const SLACK = 2;
  // A label beside the control always wins over one above it.
  const ABOVE_PENALTY = 1000;
  const [x, y, , h] = control.rect;
  let best = null;
  let bestDistance = Infinity;
  for (const other of controls) {
    if (other.kind !== 'static' || !other.text) continue;
    const [ox, oy, ow, oh] = other.rect;
    const sameRow = oy < y + h && oy + oh > y && ox + ow <= x + SLACK;
    const above = oy + oh <= y + SLACK && ox <= x + SLACK && ox + ow >= x;
    if (!sameRow && !above) continue;
    const distance = sameRow ? x - (ox + ow) : ABOVE_PENALTY + (y - (oy + oh));
    if (distance < bestDistance) {
      best = other;
      bestDistance = distance;
    }
  }
  return best ? best.text : '';
}

/// A parameter's name from the module's string, as words: "UseThicknessMap"
/// reads "Use thickness map".
function spokenName(name) {
  const words = (name || '').replace(/([a-z0-9])([A-Z])/g, '$1 $2').split(' ');
  return words.map((w, i) => (i > 0 && !/^[A-Z0-9]+$/.test(w) ? w.toLowerCase() : w)).join(' ');
}

function makeCheckBox(rollout, control) {
  const element = document.createElement('label');
  element.className = 'control';
  const box = document.createElement('input');
  box.type = 'checkbox';
  box.className = 'check';
  box.setAttribute('aria-label', control.text || spokenName(control.name) ||
    'Check box ' + control.id);
  box.addEventListener('click', (event) => {
    event.preventDefault();  // the module's answer decides the state
    panelInput(rollout.panel, control.id, 'click', {}, event.timeStamp);
  });
  element.append(box);
  if (control.text) element.append(' ' + control.text);
  element.check = box;
  element.addEventListener('contextmenu', (event) => {
    event.preventDefault();
    openResetMenu(event, rollout, control);
  });
  return element;
}

/// A drop-down list: picking an item sets its parameter to the item's index.
function makeSelect(rollout, control) {
  const element = document.createElement('select');
  element.className = 'control list';
  element.setAttribute('aria-label', labelFor(control, rollout.controls).replace(/:\s*$/, '') ||
    spokenName(control.name) || 'List ' + control.id);
  (control.items || []).forEach((text, index) => {
    const option = document.createElement('option');
    option.value = String(index);
    option.textContent = text;
    element.append(option);
  });
  element.addEventListener('change', (event) => {
    panelInput(rollout.panel, control.id, 'select', { item: Number(element.value) },
               event.timeStamp);
  });
  element.addEventListener('contextmenu', (event) => {
    event.preventDefault();
    openResetMenu(event, rollout, control);
  });
  return element;
}

function makeButton(rollout, control) {
  const element = document.createElement('button');
  element.type = 'button';
  element.className = 'control';
  element.addEventListener('click', () => {
    panelInput(rollout.panel, control.id, 'press');
    if (control.kind === 'map button') {
      const kind = document.getElementById('thickness-kind');
      if (kind && !kind.disabled) kind.focus();
    }
  });
  return element;
}

function makeControl(rollout, control) {
  let element;
  switch (control.kind) {
    case 'edit':
      element = makeEdit(rollout, control);
      break;
    case 'spinner':
      element = makeSpinner(rollout, control);
      break;
    case 'check box':
      element = makeCheckBox(rollout, control);
      break;
    case 'drop-down list':
      element = makeSelect(rollout, control);
      break;
    case 'button':
    case 'map button':
      element = makeButton(rollout, control);
      break;
    case 'group box':
      element = document.createElement('div');
      element.className = 'control group';
      element.append(document.createElement('span'));
      break;
    default:
      element = document.createElement('div');
      element.className = 'control static';
      if (control.style & SS_RIGHT) element.classList.add('right');
      if (control.style & SS_CENTER) element.style.textAlign = 'center';
  }
  element.dataset.panel = rollout.panel;
  element.dataset.id = control.id;
  element.dataset.kind = control.kind;
  place(element, control.rect);
  if (control.kind === 'drop-down list') {
    element.style.height = Math.min(control.rect[3], CLOSED_LIST_DLU) * DLU_Y + 'px';
  }
  return element;
}

function structureOf(s) {
  return JSON.stringify(s.rollouts.map((r) =>
    [r.panel, r.dialog, r.title, r.controls.map((c) => [c.id, c.kind, c.rect])]));
}

function build(s) {
  const panels = $('panels');
  panels.replaceChildren();
  elements.clear();
  let chooser = false;
  for (const rollout of s.rollouts) {
    if (rollout.thicknessMap) continue;
    panels.append(buildRollout(rollout));
    // Under the map's first rollout, the one with the map button; once.
    if (rollout.panel === 0 && !chooser) {
      panels.append(buildChooser());
      chooser = true;
    }
  }
  for (const rollout of s.rollouts) {
    if (rollout.thicknessMap) panels.append(buildRollout(rollout));
  }
}

function buildRollout(rollout) {
  const box = document.createElement('section');
  box.className = 'rollout';
  box.dataset.panel = rollout.panel;
  box.dataset.dialog = rollout.dialog;
  const title = document.createElement('h2');
  title.textContent = rollout.title;
  box.setAttribute('aria-label', rollout.title);
  const surface = document.createElement('div');
  surface.className = 'surface';
  surface.style.width = rollout.size[0] * DLU_X + 'px';
  surface.style.height = rollout.size[1] * DLU_Y + 'px';
  for (const control of rollout.controls) {
    const element = makeControl(rollout, control);
    elements.set(rollout.panel + ':' + control.id + ':' + control.kind + ':' + control.rect, element);
    surface.append(element);
  }
  box.append(title, surface);
  return box;
}

function buildChooser() {
  const chooser = $('thickness-chooser').content.firstElementChild.cloneNode(true);
  const kind = chooser.querySelector('#thickness-kind');
  const file = chooser.querySelector('#thickness-file');
  // The kinds come from the server, which reads them from the program's table.
  for (const { name, label } of state.thicknessMapKinds) {
    const option = document.createElement('option');
    option.value = name;
    option.textContent = label;
    kind.append(option);
  }
  const takesFile = () =>
    state.thicknessMapKinds.some(({ name, file: png }) => name === kind.value && png);
  const show = () => { file.hidden = !takesFile(); };
  // A kind that takes a file, chosen and not yet in use (its file not given
  // yet, or refused): the chooser stays on it, with the path as typed.
  kind.addEventListener('change', () => {
    chooser.pending = takesFile();
    show();
    if (!takesFile()) request('/api/thickness-map', { kind: kind.value });
  });
  const useFile = async () => {
    chooser.pending = true;
    if (await request('/api/thickness-map', { kind: kind.value, file: file.value })) {
      chooser.pending = false;
    }
  };
  chooser.querySelector('#thickness-apply').addEventListener('click', () => {
    if (takesFile()) useFile();
    else request('/api/thickness-map', { kind: kind.value });
  });
  file.addEventListener('keydown', (event) => {
    if (event.key === 'Enter') {
      event.preventDefault();
      useFile();
    }
  });
  chooser.show = show;
  return chooser;
}

function refreshControl(element, control, rollout) {
  element.hidden = !control.visible;
  const disabled = !control.enabled;
  switch (control.kind) {
    case 'edit':
      refreshEdit(element, control, rollout);
      break;
    case 'spinner':
      element.classList.toggle('disabled', disabled);
      element.setAttribute('aria-disabled', String(disabled));
      if (control.value !== undefined) {
        element.setAttribute('aria-valuenow', String(control.value));
        element.setAttribute('aria-valuetext', shownValue(control.value, control, rollout));
      }
      break;
    case 'check box':
      element.check.disabled = disabled;
      element.check.checked = Boolean(control.value);
      element.classList.toggle('disabled', disabled);
      break;
    case 'drop-down list':
      element.disabled = disabled;
      // A value that names no item shows no selection, as the host's list does.
      element.selectedIndex = Number.isInteger(control.value) &&
        control.value < element.options.length ? control.value : -1;
      break;
    case 'button':
    case 'map button': {
      element.disabled = disabled;
      const text = control.kind === 'map button' && control.value !== undefined
        ? String(control.value) : control.text;
      element.textContent = text;
      if (control.kind === 'map button' && control.name) {
        element.setAttribute('aria-label', spokenName(control.name) + ': ' + text);
      }
      break;
    }
    case 'group box':
      element.firstChild.textContent = control.text;
      break;
    default:
      element.textContent = control.text;
      element.classList.toggle('disabled', disabled);
  }
}

/// Shows `s` unless the page already shows a later state: answers and
/// events may come in either order.
/// `heard`: the state came down the push channel, for any tab's change.
export function take(s, { heard = false } = {}) {
  if (!s || (state && s.serial <= state.serial)) return;
  update(s, { heard });
}

export function update(s, { heard = false } = {}) {
  if (!s) return;
  const newer = !state || s.revision !== state.revision;
  // A new scene has no file: the field no longer names the one before.
  const fileGone = state && state.file && !s.file;
  state = s;
  document.documentElement.dataset.serial = String(s.serial);
  const shape = structureOf(s);
  if (shape !== structure) {
    structure = shape;
    build(s);
  }
  let mapButton = null;
  for (const rollout of s.rollouts) {
    for (const control of rollout.controls) {
      const element = elements.get(rollout.panel + ':' + control.id + ':' + control.kind + ':' +
                                   control.rect);
      if (element) refreshControl(element, control, rollout);
      if (rollout.panel === 0 && control.kind === 'map button') mapButton = control;
    }
  }
  const chooser = $('thickness-map');
  if (chooser) {
    const available = !mapButton || mapButton.enabled;
    for (const part of chooser.querySelectorAll('select, input, button')) {
      part.disabled = !available;
    }
    const kind = $('thickness-kind');
    if (document.activeElement !== kind && !chooser.pending) kind.value = s.thicknessMap.kind;
    if (s.thicknessMap.file !== undefined && document.activeElement !== $('thickness-file') &&
        !chooser.pending) {
      $('thickness-file').value = s.thicknessMap.file;
    }
    chooser.show();
    $('thickness-note').textContent = s.thicknessMap.imageError ||
      (available ? '' : 'tick the box beside the map button to choose one');
  }
  const fileField = $('scene-file');
  if (document.activeElement !== fileField && (s.file || fileGone)) fileField.value = s.file;
  const status = $('file-status');
  $('file-name').textContent = s.file ? s.file : 'not saved yet';
  $('file-notes').textContent =
    (s.file && s.newFile ? '\u00a0\u2014 a new file, not saved yet' : '') +
    (s.unsaved ? '\u00a0\u2014 unsaved changes' : '') +
    (s.changedOnDisk ? '\u00a0\u2014 changed on disk since it was read' : '') +
    (s.deletedOnDisk ? '\u00a0\u2014 deleted on disk since it was read' : '');
  status.classList.toggle('changed', Boolean(s.changedOnDisk || s.deletedOnDisk));
  // The bar offers ways out of a conflict the status line names, no longer.
  if (!s.changedOnDisk && !s.deletedOnDisk) hideConflict();
  status.title = status.textContent;
  document.title = (s.unsaved ? '\u2022 ' : '') + 'Nacrelle Studio';
  updateHistory(s);
  if (newer) wantPictures(heard && sending === 0);
}

(async () => {
  const response = await fetch(withToken('/api/state'));
  const reply = await response.json().catch(() => ({ error: 'unreadable answer' }));
  if (!response.ok) {
    showError(reply.error || 'refused');
    return;
  }
  update(reply);
  listen();
})();
