// ---- Undo, reset, presets and the keyboard -----------------------------------
import { $, withToken } from './dom.js';
import { request } from './studio.js';
import { shownValue } from './spinner.js';

export function updateHistory(s) {
  $('undo').disabled = !s.undoSteps;
  $('redo').disabled = !s.redoSteps;
  $('undo').title = 'Undo (Ctrl+Z): ' + s.undoSteps + ' step' + (s.undoSteps === 1 ? '' : 's');
  $('redo').title = 'Redo (Ctrl+Y or Ctrl+Shift+Z): ' + s.redoSteps + ' step' +
    (s.redoSteps === 1 ? '' : 's');
}

const undo = (started) => request('/api/undo', {}, started);
const redo = (started) => request('/api/redo', {}, started);
$('undo').addEventListener('click', (event) => undo(event.timeStamp));
$('redo').addEventListener('click', (event) => redo(event.timeStamp));
$('reset-all').addEventListener('click', (event) =>
  request('/api/reset', { all: true }, event.timeStamp));

// The context menu of a field or check box: back to the module's default.
export function openResetMenu(event, rollout, control) {
  const menu = $('context-menu');
  const item = $('reset-parameter');
  const shown = control.kind === 'check box' ? (control.default ? 'on' : 'off')
    : control.kind === 'drop-down list' ? (control.items || [])[control.default]
    : shownValue(control.default, control, rollout);
  item.textContent = 'Reset to default' + (control.default !== undefined ? ' (' + shown + ')' : '');
  item.disabled = !control.enabled;
  item.onclick = (click) => {
    closeMenu({ refocus: true });
    request('/api/reset', { panel: rollout.panel, id: control.id }, click.timeStamp);
  };
  menuOpener = event.currentTarget;
  menu.hidden = false;
  // Inside the window: opened near an edge, it opens towards the middle.
  const { width, height } = menu.getBoundingClientRect();
  menu.style.left = Math.max(0, Math.min(event.clientX, innerWidth - width)) + 'px';
  menu.style.top = Math.max(0, Math.min(event.clientY, innerHeight - height)) + 'px';
  item.focus();
}

// What the menu was opened on: focus goes back there when it closes.
let menuOpener = null;

function closeMenu({ refocus = false } = {}) {
  const menu = $('context-menu');
  if (menu.hidden) return;
  menu.hidden = true;
  const opener = menuOpener;
  menuOpener = null;
  if (refocus && opener && opener.isConnected) {
    (opener.querySelector('input') || opener).focus();
  }
}

document.addEventListener('pointerdown', (event) => {
  if (!$('context-menu').contains(event.target)) closeMenu();
});
// Scrolling moves what it was opened on away from it.
document.addEventListener('scroll', () => closeMenu(), true);
$('context-menu').addEventListener('keydown', (event) => {
  if (event.key === 'Tab') closeMenu();
});

// ---- Presets ------------------------------------------------------------------

let presetList = [];

function showPreset() {
  const preset = presetList.find((p) => p.name === $('preset-name').value);
  $('preset-apply').disabled = !preset;
  const about = $('preset-about');
  about.replaceChildren();
  if (!preset) return;
  const description = document.createElement('p');
  description.textContent = preset.description;
  const sources = document.createElement('dl');
  for (const [what, text] of Object.entries(preset.sources)) {
    const term = document.createElement('dt');
    term.textContent = what;
    const detail = document.createElement('dd');
    detail.textContent = text;
    sources.append(term, detail);
  }
  const more = document.createElement('details');
  const summary = document.createElement('summary');
  summary.textContent = preset.note ? 'Sources and notes' : 'Sources';
  more.append(summary, sources);
  if (preset.note) {
    const note = document.createElement('p');
    note.textContent = preset.note;
    more.append(note);
  }
  about.append(description, more);
}

async function loadPresets() {
  const response = await fetch(withToken('/api/presets')).catch(() => null);
  presetList = response && response.ok ? await response.json().catch(() => []) : [];
  const menu = $('preset-name');
  const choose = document.createElement('option');
  choose.value = '';
  choose.textContent = 'Choose a preset\u2026';
  choose.disabled = true;
  choose.selected = true;
  menu.append(choose);
  for (const preset of presetList) {
    const option = document.createElement('option');
    option.value = preset.name;
    option.textContent = preset.name.replace(/-/g, ' ');
    menu.append(option);
  }
  showPreset();
}

$('preset-name').addEventListener('change', showPreset);
$('preset-apply').addEventListener('click', (event) =>
  request('/api/preset', { name: $('preset-name').value }, event.timeStamp));

// ---- Keyboard -------------------------------------------------------------------

/// Whether the browser's own undo belongs to the focused field: text typed
/// and not yet taken, or a file name.
function typingInField() {
  const field = document.activeElement;
  if (!field || field.tagName !== 'INPUT' || field.type !== 'text') return false;
  return field.dataset.typed === '1' || !field.classList.contains('edit');
}

document.addEventListener('keydown', (event) => {
  if (event.key === 'Escape') closeMenu({ refocus: true });
  if (!(event.ctrlKey || event.metaKey) || event.altKey) return;
  const key = event.key.toLowerCase();
  if (key === 's') {
    event.preventDefault();
    // Typing not yet taken goes in first: leaving the field takes it.
    const field = document.activeElement;
    if (field && field.classList.contains('edit') && field.dataset.typed === '1') field.blur();
    $('save-scene').click();
  } else if ((key === 'z' || key === 'y') && !typingInField()) {
    event.preventDefault();
    if (key === 'y' || event.shiftKey) redo(event.timeStamp);
    else undo(event.timeStamp);
  }
});

loadPresets();
