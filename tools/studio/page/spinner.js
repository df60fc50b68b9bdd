// ---- Edits and spinners, with the host's habits -----------------------------
//
// Drag a spinner up or down: the further it has moved, the faster it goes.
// Ctrl makes a drag (and the wheel and arrow keys) ten times coarser, Alt
// ten times finer. A right-click sets the lowest value at or above zero that
// the range allows. The wheel steps the spinner of a focused field. Each
// drag is one step of the undo history.
import { $ } from './dom.js';
import { state, busy, request, stateControl, panelInput, labelFor, update } from './studio.js';
import {
  dragStarted, dragStepSent, dragEnded, swatchShown, chartCaughtUp,
} from './pictures.js';
import { openResetMenu } from './editing.js';

// Pixels of movement per step at the start of a drag.
const DRAG_PIXELS_PER_STEP = 4;
// A drag is twice as fast once it has moved this many pixels, three times
// at twice that, and so on.
const DRAG_ACCELERATION_PIXELS = 50;
// Ctrl: coarser; Alt: finer.
const MODIFIER_FACTOR = 10;
// Wheel notches this close together make one undo step.
const WHEEL_GESTURE_MS = 600;

let gestures = 0;
/// A number for one drag, unlike any earlier one even across page loads.
const newGesture = () => Date.now() * 1000 + (++gestures % 1000);

const modifierFactor = (event) =>
  event.ctrlKey ? MODIFIER_FACTOR : event.altKey ? 1 / MODIFIER_FACTOR : 1;

function spinnerOf(rollout, control) {
  return rollout.controls.find((c) => c.kind === 'spinner' && c.param === control.param);
}

function editOf(rollout, control) {
  return rollout.controls.find((c) => c.kind === 'edit' && c.param === control.param);
}

/// Decimals of a spinner's step: 1 shows whole numbers, 0.01 two decimals.
function decimalsOf(step) {
  if (!(step > 0) || step >= 1) return 0;
  // The step is a float: 0.01 arrives as 0.009999999776.
  return Math.min(6, Math.ceil(-Math.log10(step) - 1e-6));
}

/// `value` as the host shows it: rounded to the precision of the step of
/// the control's spinner, never float noise.
export function shownValue(value, control, rollout) {
  if (typeof value !== 'number') return String(value ?? '');
  const spinner = spinnerOf(rollout, control);
  if (control.integer) return String(Math.round(value));
  const decimals = decimalsOf(spinner && spinner.step);
  let text = value.toFixed(decimals);
  // A value that Alt left between the steps (a tenth of one) shows that
  // tenth: the field never shows a value other than the one stored.
  const tenth = value.toFixed(Math.min(7, decimals + 1));
  if (Math.fround(Number(text)) !== Math.fround(value) &&
      Math.fround(Number(tenth)) === Math.fround(value)) {
    text = tenth;
  }
  return /^-0(\.0*)?$/.test(text) ? text.slice(1) : text;
}

/// The shortest decimal text that reads back to `value` as a float: the
/// parameter block stores floats, so 0.45 arrives as 0.44999998807907104.
function floatText(value) {
  if (typeof value !== 'number' || !Number.isFinite(value)) return String(value ?? '');
  const stored = Math.fround(value);
  for (let digits = 1; digits < 9; ++digits) {
    const text = String(Number(stored.toPrecision(digits)));
    if (Math.fround(Number(text)) === stored) return text;
  }
  return String(Number(stored.toPrecision(9)));
}

/// The lowest value at or above zero within the parameter's range: what a
/// right-click on a spinner sets.
function lowestNonNegative(control) {
  if (!control.range) return 0;
  const [low, high] = control.range;
  return Math.min(Math.max(0, low), high);
}

export function refreshEdit(element, control, rollout) {
  element.disabled = !control.enabled;
  if (!(document.activeElement === element && element.dataset.typed === '1')) {
    element.value = control.value !== undefined ? shownValue(control.value, control, rollout)
      : control.text;
  }
  const exact = control.value !== undefined ? floatText(control.value) : '';
  element.title = exact + (control.range ? ' (from ' + control.range[0] + ' to ' +
    control.range[1] + ')' : '');
  fitText(element, control, rollout);
}

/// Widens a field whose longest value would not fit (its spinner moving
/// along), so that every value of its range shows whole.
function fitText(element, control, rollout) {
  if (!control.range || element.dataset.fitted) return;
  element.dataset.fitted = '1';
  const style = getComputedStyle(element);
  const context = document.createElement('canvas').getContext('2d');
  context.font = style.font;
  const widest = Math.max(...control.range.map((v) =>
    context.measureText(shownValue(v, control, rollout) + '0').width));
  const room = parseFloat(style.width) - parseFloat(style.paddingLeft) -
    parseFloat(style.paddingRight) - 2;
  const extra = Math.ceil(widest - room);
  if (extra <= 0) return;
  element.style.width = parseFloat(style.width) + extra + 'px';
  const spinner = element.spinnerElement();
  if (spinner) spinner.style.left = parseFloat(spinner.style.left) + extra + 'px';
}

export function makeEdit(rollout, control) {
  const input = document.createElement('input');
  input.type = 'text';
  input.className = 'control edit';
  input.spellcheck = false;
  input.setAttribute('aria-label', labelFor(control, rollout.controls));
  // Typing belongs to the document it began in (from its first key): taken
  // after another tab's New, Open, Reload, Undo or Redo, it is refused.
  const beganIn = () => (input.dataset.typed === '1' && input.dataset.document
    ? Number(input.dataset.document) : state.document);
  const commit = (started) => {
    if (input.dataset.typed !== '1') return;
    const began = beganIn();
    input.dataset.typed = '';
    panelInput(rollout.panel, control.id, 'type', { text: input.value, document: began }, started);
  };
  // `steps` of the spinner; with Alt a tenth of a step each. A tenth is no
  // step the spinner makes: the value it gives is typed, rounded to a digit
  // finer than the step's.
  const spin = (steps, started, gesture = 0, fine = false, began = state.document) => {
    const spinner = spinnerOf(rollout, control);
    input.dataset.typed = '';
    if (!spinner) return;
    if (!fine || control.integer || !(spinner.step > 0)) {
      panelInput(rollout.panel, spinner.id, 'spin', { steps, gesture, document: began }, started);
      return;
    }
    const decimals = Math.min(7, decimalsOf(spinner.step) + 1);
    // Made when its turn comes, from the value the steps before it left.
    request('/api/panel', () => {
      const current = stateControl(rollout.panel, control.id);
      const value = Number(floatText(current ? current.value : control.value));
      const text = (value + steps * spinner.step / MODIFIER_FACTOR).toFixed(decimals);
      return { panel: rollout.panel, id: control.id, action: 'type', text, gesture,
        document: began };
    }, started);
  };
  input.addEventListener('input', () => {
    if (input.dataset.typed !== '1') input.dataset.document = String(state.document);
    input.dataset.typed = '1';
  });
  input.addEventListener('blur', () => commit());
  input.addEventListener('keydown', (event) => {
    if (event.key === 'Enter') {
      event.preventDefault();
      if (input.dataset.typed !== '1') input.dataset.document = String(state.document);
      input.dataset.typed = '1';
      commit(event.timeStamp);
    } else if (event.key === 'Escape') {
      input.dataset.typed = '';
      update(state);
    } else if (event.key === 'ArrowUp' || event.key === 'ArrowDown') {
      event.preventDefault();
      const fine = modifierFactor(event) < 1;
      const steps = (event.key === 'ArrowUp' ? 1 : -1) * (event.shiftKey ? 10 : 1) *
        (fine ? 1 : modifierFactor(event));
      spin(steps, event.timeStamp, 0, fine);
    }
  });
  const wheel = { gesture: 0, last: -Infinity, document: 0 };
  input.wheelStep = (event) => {
    if (event.timeStamp - wheel.last > WHEEL_GESTURE_MS) {
      wheel.gesture = newGesture();
      wheel.document = state.document;
    }
    wheel.last = event.timeStamp;
    const fine = modifierFactor(event) < 1;
    const steps = Math.sign(-event.deltaY) * (fine ? 1 : modifierFactor(event));
    if (steps !== 0) spin(steps, event.timeStamp, wheel.gesture, fine, wheel.document);
  };
  input.spinnerElement = () => {
    const spinner = spinnerOf(rollout, control);
    return spinner && input.parentElement.querySelector(`[data-kind="spinner"][data-id="${spinner.id}"]`);
  };
  input.addEventListener('contextmenu', (event) => {
    event.preventDefault();
    openResetMenu(event, rollout, control);
  });
  return input;
}

// The wheel steps a focused field while the pointer is over it or its
// spinner, so that scrolling the page past a field changes nothing. It is
// heard on the panels: once a wheel gesture has begun, the browser sends its
// later events to where it began, not to the field.
$('panels').addEventListener('wheel', (event) => {
  const field = document.activeElement;
  if (!field || !field.wheelStep || field.disabled) return;
  const inside = (element) => {
    if (!element) return false;
    const box = element.getBoundingClientRect();
    return event.clientX >= box.left && event.clientX < box.right &&
      event.clientY >= box.top && event.clientY < box.bottom;
  };
  if (!inside(field) && !inside(field.spinnerElement())) return;
  if (event.cancelable) event.preventDefault();
  field.wheelStep(event);
}, { passive: false });

/// Steps of a drag `pixels` long (signed): ever faster as it goes on.
function dragSteps(pixels, factor) {
  const distance = Math.abs(pixels);
  const steps = (distance / DRAG_PIXELS_PER_STEP) * (1 + distance / DRAG_ACCELERATION_PIXELS / 2);
  return Math.sign(pixels) * Math.trunc(steps * factor);
}

export function makeSpinner(rollout, control) {
  const spinner = document.createElement('div');
  spinner.className = 'control spinner';
  spinner.setAttribute('role', 'spinbutton');
  const edit = editOf(rollout, control);
  const label = edit ? labelFor(edit, rollout.controls).replace(/:\s*$/, '') : '';
  spinner.setAttribute('aria-label', (label || 'Value') + ' spinner');
  spinner.innerHTML = '<span>\u25B2</span><span>\u25BC</span>';
  // A drag sends the steps gathered since its last answer, once that
  // answer's swatch is on screen (or a moment has passed): the swatch keeps
  // up with the pointer instead of every new step cancelling the last
  // one's picture. Now and then it also lets the chart catch up. A drag lasts from pointer down to up or cancel, whatever
  // is in flight; its steps still unsent when the button goes up follow.
  // A drag belongs to the document it began in: a refused step (another
  // tab's change, or its New, Open, Reload, Undo or Redo, came first) ends
  // the drag, and the page shows the scene as it is.
  let drag = null;
  const over = (d) => {
    if (d.over) return;
    d.over = true;
    dragEnded();
    busy(-1);
  };
  const flush = async (d) => {
    if (d.busy) return;
    const steps = d.wanted - d.sent;
    if (d.cancelled || steps === 0) {
      if (d.cancelled || d.released) over(d);
      return;
    }
    d.busy = true;
    d.sent += steps;
    dragStepSent();
    const started = d.inputTime;
    d.inputTime = null;
    const reply = await panelInput(rollout.panel, control.id, 'spin',
      { steps, gesture: d.gesture, document: d.document }, started);
    if (reply) {
      await swatchShown(reply.revision);
      await chartCaughtUp(reply.revision);
    } else {
      d.cancelled = true;
      if (drag === d) drag = null;
    }
    d.busy = false;
    flush(d);
  };
  spinner.addEventListener('pointerdown', (event) => {
    if (spinner.classList.contains('disabled')) return;
    if (event.button === 2) {
      event.preventDefault();
      if (edit) {
        panelInput(rollout.panel, edit.id, 'type',
          { text: String(lowestNonNegative(edit)) }, event.timeStamp);
      }
      return;
    }
    if (event.button !== 0) return;
    spinner.setPointerCapture(event.pointerId);
    const box = spinner.getBoundingClientRect();
    drag = { startY: event.clientY, base: 0, factor: modifierFactor(event), moved: false,
             up: event.clientY < box.top + box.height / 2, wanted: 0, sent: 0, busy: false,
             cancelled: false, released: false, over: false, gesture: newGesture(),
             inputTime: null, document: state.document };
    busy(1);
    dragStarted();
  });
  // Raw updates come as the pointer moves, not once a frame as moves do.
  const moveEvent = 'onpointerrawupdate' in window ? 'pointerrawupdate' : 'pointermove';
  spinner.addEventListener(moveEvent, (event) => {
    if (!drag) return;
    const factor = modifierFactor(event);
    if (factor !== drag.factor) {
      // A modifier pressed or let go mid-drag: go on from here at the new rate.
      drag.base = drag.wanted;
      drag.startY = event.clientY;
      drag.factor = factor;
    }
    const wanted = drag.base + dragSteps(drag.startY - event.clientY, factor);
    if (wanted !== drag.base) drag.moved = true;
    if (wanted !== drag.wanted) {
      drag.wanted = wanted;
      if (drag.inputTime === null) drag.inputTime = event.timeStamp;
      flush(drag);
    }
  });
  spinner.addEventListener('pointerup', (event) => {
    if (!drag) return;
    const finished = drag;
    drag = null;
    finished.released = true;
    if (!finished.moved) {
      finished.wanted = finished.up ? 1 : -1;  // a click: one step
      finished.inputTime = event.timeStamp;
    }
    flush(finished);
  });
  spinner.addEventListener('pointercancel', () => {
    if (!drag) return;
    drag.cancelled = true;
    flush(drag);
    drag = null;
  });
  spinner.addEventListener('contextmenu', (event) => event.preventDefault());
  return spinner;
}
