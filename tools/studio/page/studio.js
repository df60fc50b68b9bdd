'use strict';
// The studio page: draws the panels the server describes, sends what the
// user does to them, and shows the pictures of the newest revision only.

const token = new URLSearchParams(location.search).get('token') || '';
const withToken = (path) =>
  path + (path.includes('?') ? '&' : '?') + 'token=' + encodeURIComponent(token);

// Dialog units to pixels: the base units of the template's font, 8-point
// MS Sans Serif at 96 dpi (6 x 13 pixels; a unit is a quarter by an eighth).
const DLU_X = 6 / 4;
const DLU_Y = 13 / 8;
const SS_RIGHT = 0x2;
const SS_CENTER = 0x1;
// Pixels of vertical drag per spinner step.
const DRAG_PIXELS_PER_STEP = 4;

let state = null;
let structure = '';
const elements = new Map();          // "panel:id" -> element
const changeStarted = new Map();     // revision -> time the change was sent
const timings = [];                  // ms from a change to its swatch on screen
window.studioTimings = timings;

const $ = (id) => document.getElementById(id);

function showError(text) {
  const box = $('message');
  box.textContent = text;
  box.hidden = false;
}

function clearError() {
  $('message').hidden = true;
}

/// Posts `body` to `path`: { ok, status, reply, sent }, or null when the
/// studio does not answer (which it shows).
async function send(path, body) {
  const sent = performance.now();
  let response;
  try {
    response = await fetch(withToken(path), {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify(body),
    });
  } catch (error) {
    showError('The studio does not answer: is `nacrelle studio` still running?');
    return null;
  }
  const reply = await response.json().catch(() => ({ error: 'unreadable answer' }));
  return { ok: response.ok, status: response.status, reply, sent };
}

function refused(answer) {
  showError(answer.reply.error || 'refused (' + answer.status + ')');
  update(state);  // puts back what the user typed over
  return null;
}

function accepted({ reply, sent }) {
  clearError();
  if (reply.revision !== state.revision) changeStarted.set(reply.revision, sent);
  update(reply);
  for (const address of reply.opened || []) {
    if (/^https?:\/\//.test(address)) window.open(address, '_blank', 'noopener');
  }
  return reply;
}

async function request(path, body) {
  const answer = await send(path, body);
  if (!answer) return null;
  return answer.ok ? accepted(answer) : refused(answer);
}

function panelInput(panel, id, action, extra = {}) {
  return request('/api/panel', Object.assign({ panel, id, action }, extra));
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
function labelFor(control, controls) {
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

function spinnerOf(rollout, control) {
  return rollout.controls.find((c) => c.kind === 'spinner' && c.param === control.param);
}

function makeEdit(rollout, control) {
  const input = document.createElement('input');
  input.type = 'text';
  input.className = 'control edit';
  input.spellcheck = false;
  input.setAttribute('aria-label', labelFor(control, rollout.controls));
  const commit = () => {
    if (input.dataset.typed !== '1') return;
    input.dataset.typed = '';
    panelInput(rollout.panel, control.id, 'type', { text: input.value });
  };
  input.addEventListener('input', () => { input.dataset.typed = '1'; });
  input.addEventListener('blur', commit);
  input.addEventListener('keydown', (event) => {
    if (event.key === 'Enter') {
      event.preventDefault();
      input.dataset.typed = '1';
      commit();
    } else if (event.key === 'Escape') {
      input.dataset.typed = '';
      update(state);
    } else if (event.key === 'ArrowUp' || event.key === 'ArrowDown') {
      event.preventDefault();
      const spinner = spinnerOf(rollout, control);
      const steps = (event.key === 'ArrowUp' ? 1 : -1) * (event.shiftKey ? 10 : 1);
      input.dataset.typed = '';
      if (spinner) panelInput(rollout.panel, spinner.id, 'spin', { steps });
    }
  });
  return input;
}

function makeSpinner(rollout, control) {
  const spinner = document.createElement('div');
  spinner.className = 'control spinner';
  spinner.setAttribute('role', 'spinbutton');
  spinner.setAttribute('aria-label', 'Spinner ' + control.id);
  spinner.innerHTML = '<span>\u25B2</span><span>\u25BC</span>';
  // Dragging sends the steps gathered since the last answer, one request at
  // a time, so a fast drag never queues up stale requests. A drag lasts from
  // pointer down to up or cancel, whatever is in flight; its steps still
  // unsent when the button goes up follow its last answer.
  let drag = null;
  const flush = async (d) => {
    if (d.busy || d.cancelled) return;
    const steps = d.wanted - d.sent;
    if (steps === 0) return;
    d.busy = true;
    d.sent += steps;
    await panelInput(rollout.panel, control.id, 'spin', { steps });
    d.busy = false;
    flush(d);
  };
  spinner.addEventListener('pointerdown', (event) => {
    if (spinner.classList.contains('disabled')) return;
    spinner.setPointerCapture(event.pointerId);
    const box = spinner.getBoundingClientRect();
    const up = event.clientY < box.top + box.height / 2;
    drag = { startY: event.clientY, moved: false, up, wanted: 0, sent: 0, busy: false,
             cancelled: false };
  });
  spinner.addEventListener('pointermove', (event) => {
    if (!drag) return;
    const wanted = Math.trunc((drag.startY - event.clientY) / DRAG_PIXELS_PER_STEP);
    if (wanted !== 0) drag.moved = true;
    if (wanted !== drag.wanted) {
      drag.wanted = wanted;
      flush(drag);
    }
  });
  spinner.addEventListener('pointerup', () => {
    if (!drag) return;
    const finished = drag;
    drag = null;
    if (!finished.moved) finished.wanted = finished.up ? 1 : -1;  // a click: one step
    flush(finished);
  });
  spinner.addEventListener('pointercancel', () => {
    if (drag) drag.cancelled = true;
    drag = null;
  });
  return spinner;
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
    case 'check box': {
      element = document.createElement('label');
      element.className = 'control';
      const box = document.createElement('input');
      box.type = 'checkbox';
      box.className = 'check';
      box.setAttribute('aria-label', control.text || 'Use ' + labelFor(control, rollout.controls)
        || 'Check box ' + control.id);
      box.addEventListener('click', (event) => {
        event.preventDefault();  // the module's answer decides the state
        panelInput(rollout.panel, control.id, 'click');
      });
      element.append(box);
      if (control.text) element.append(' ' + control.text);
      element.check = box;
      break;
    }
    case 'button':
    case 'map button':
      element = document.createElement('button');
      element.type = 'button';
      element.className = 'control';
      element.addEventListener('click', () => {
        panelInput(rollout.panel, control.id, 'press');
        if (control.kind === 'map button') {
          const kind = document.getElementById('thickness-kind');
          if (kind && !kind.disabled) kind.focus();
        }
      });
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
  for (const rollout of s.rollouts) {
    if (rollout.thicknessMap) continue;
    panels.append(buildRollout(rollout));
    if (rollout.panel === 0) panels.append(buildChooser());
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
  kind.addEventListener('change', () => {
    show();
    if (!takesFile()) request('/api/thickness-map', { kind: kind.value });
  });
  const useFile = () => request('/api/thickness-map', { kind: kind.value, file: file.value });
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

function refreshControl(element, control) {
  element.hidden = !control.visible;
  const disabled = !control.enabled;
  switch (control.kind) {
    case 'edit':
      element.disabled = disabled;
      if (!(document.activeElement === element && element.dataset.typed === '1')) {
        element.value = control.value !== undefined ? String(control.value) : control.text;
      }
      if (control.range) element.title = 'from ' + control.range[0] + ' to ' + control.range[1];
      break;
    case 'spinner':
      element.classList.toggle('disabled', disabled);
      element.setAttribute('aria-disabled', String(disabled));
      break;
    case 'check box':
      element.check.disabled = disabled;
      element.check.checked = Boolean(control.value);
      element.classList.toggle('disabled', disabled);
      break;
    case 'button':
    case 'map button':
      element.disabled = disabled;
      element.textContent = control.kind === 'map button' && control.value !== undefined
        ? String(control.value) : control.text;
      break;
    case 'group box':
      element.firstChild.textContent = control.text;
      break;
    default:
      element.textContent = control.text;
      element.classList.toggle('disabled', disabled);
  }
}

function update(s) {
  if (!s) return;
  const newer = !state || s.revision !== state.revision;
  state = s;
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
      if (element) refreshControl(element, control);
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
    if (document.activeElement !== kind) kind.value = s.thicknessMap.kind;
    if (s.thicknessMap.file !== undefined && document.activeElement !== $('thickness-file')) {
      $('thickness-file').value = s.thicknessMap.file;
    }
    chooser.show();
    $('thickness-note').textContent = s.thicknessMap.imageError ||
      (available ? '' : 'tick the box beside the map button to choose one');
  }
  const fileField = $('scene-file');
  if (document.activeElement !== fileField && s.file) fileField.value = s.file;
  const status = $('file-status');
  status.textContent = (s.file ? s.file : 'not saved yet') +
    (s.unsaved ? ' \u2014 unsaved changes' : '') +
    (s.changedOnDisk ? ' \u2014 changed on disk since it was read' : '');
  status.classList.toggle('changed', Boolean(s.changedOnDisk));
  document.title = (s.unsaved ? '\u2022 ' : '') + 'Nacrelle Studio';
  if (newer) wantPictures();
}

// ---- Pictures: only the newest revision is ever shown -----------------------

const pictures = {
  swatch: { busy: false, shown: 0, asked: 0, controller: null },
  chart: { busy: false, shown: 0, asked: 0, controller: null },
};

// The swatch first: the chart is asked for once the swatch is on screen, so
// that it never holds up the picture the user watches. A request for an
// older revision is cancelled: its picture would never be shown.
function wantPictures() {
  for (const picture of Object.values(pictures)) {
    if (picture.controller && picture.asked !== state.revision) picture.controller.abort();
  }
  fetchPicture('swatch');
}

async function fetchPicture(name) {
  const picture = pictures[name];
  if (picture.busy || picture.shown === state.revision) return;
  picture.busy = true;
  const revision = state.revision;
  picture.asked = revision;
  picture.controller = new AbortController();
  try {
    const response = await fetch(withToken('/api/' + name + '.png?revision=' + revision),
      { signal: picture.controller.signal });
    // 204: a newer change superseded this revision; its own request follows.
    if (response.status === 204) {
      // nothing to show
    } else if (response.ok && revision === state.revision) {
      const url = URL.createObjectURL(await response.blob());
      if (revision === state.revision) await showPicture(name, url, revision);
      else URL.revokeObjectURL(url);
    } else if (!response.ok) {
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
  if (picture.shown !== state.revision) fetchPicture(name);
  else if (name === 'swatch') fetchPicture('chart');
}

function showPicture(name, url, revision) {
  return new Promise((resolve) => {
    const img = $(name);
    const old = img.src;
    img.onload = () => {
      if (old.startsWith('blob:')) URL.revokeObjectURL(old);
      img.dataset.revision = revision;
      pictures[name].shown = revision;
      if (name === 'swatch') {
        if (changeStarted.has(revision)) {
          timings.push(performance.now() - changeStarted.get(revision));
        }
        for (const r of changeStarted.keys()) if (r <= revision) changeStarted.delete(r);
      }
      resolve();
    };
    img.onerror = () => resolve();
    img.src = url;
  });
}

// ---- Files --------------------------------------------------------------------

$('new-scene').addEventListener('click', () => {
  if (state && state.unsaved && !confirm('Discard the unsaved changes?')) return;
  request('/api/scene/new', {});
});
$('open-scene').addEventListener('click', () => {
  if (state && state.unsaved && !confirm('Discard the unsaved changes?')) return;
  request('/api/scene/open', { file: $('scene-file').value });
});
function hideConflict() {
  $('conflict').hidden = true;
}

/// Saves to `file` ('' : the open file). A scene that exists is replaced
/// only once the user has said yes; a file changed on disk since it was
/// read offers the ways on.
async function save(file, options = {}) {
  const answer = await send('/api/scene/save', Object.assign({ file }, options));
  if (!answer) return;
  if (answer.ok) {
    hideConflict();
    accepted(answer);
    return;
  }
  const { reply } = answer;
  if (reply.conflict === 'exists') {
    if (confirm(reply.error.replace(/^not saved: /, '') + '. Replace it?')) {
      save(file, Object.assign({}, options, { replace: true }));
    } else {
      refused(answer);
    }
  } else if (reply.conflict === 'changed') {
    clearError();
    $('conflict-text').textContent = reply.error + '.';
    $('conflict').hidden = false;
    update(state);
  } else {
    refused(answer);
  }
}

// The field's name, unless it is the open file's as shown: a name that is
// not UTF-8 shows otherwise than it is.
const chosenName = () => {
  const typed = $('scene-file').value;
  return state && state.file && typed === state.file ? '' : typed;
};
$('save-scene').addEventListener('click', () => save(state && state.file ? '' : chosenName()));
$('save-scene-as').addEventListener('click', () => save(chosenName()));
$('conflict-reload').addEventListener('click', async () => {
  if (await request('/api/scene/reload', {})) hideConflict();
});
$('conflict-anyway').addEventListener('click', () => save('', { anyway: true }));
$('conflict-rename').addEventListener('click', () => {
  hideConflict();
  showError('Type another name into the file field and press Save As.');
  $('scene-file').select();
  $('scene-file').focus();
});
// Coming back to the page: has the open file changed meanwhile? (An answer
// that a change has overtaken is dropped.)
window.addEventListener('focus', async () => {
  const response = await fetch(withToken('/api/state')).catch(() => null);
  const s = response && response.ok ? await response.json().catch(() => null) : null;
  if (s && state && s.revision >= state.revision) update(s);
});
window.addEventListener('beforeunload', (event) => {
  if (state && state.unsaved) {
    event.preventDefault();
    event.returnValue = '';
  }
});

(async () => {
  const response = await fetch(withToken('/api/state'));
  const reply = await response.json().catch(() => ({ error: 'unreadable answer' }));
  if (!response.ok) {
    showError(reply.error || 'refused');
    return;
  }
  update(reply);
})();
