// The bar that shows the long work the host is busy with (an open, an import, a save), with a
// button that calls it off. Every page shows the same bar: the host sends each page the work's
// progress as `progress` events about ten times a second and null when it ends, and a page that
// connects meanwhile finds it in its hello. The host does nothing else while the work lasts, so
// the bar is the only sign that it is busy.

import {byId} from './dom.js';

/** @typedef {import('./protocol.js').Progress} Progress */
/** @typedef {import('./actions.js').Actions} Actions */

const grouped = new Intl.NumberFormat('en-US');

/**
 * What is done of what, as the host's terminal line says it: "1,234 of 5,678 objects",
 * "12.3 of 45.6 MB", or only what is done when the total is not known.
 * @param {Progress} progress
 * @returns {string}
 */
export function progressAmount({unit, done, total}) {
    if (done === 0 && total === 0) return '';
    if (unit === 'bytes') {
        const megabytes = (/** @type {number} */ bytes) => (bytes / 1e6).toFixed(1);
        return total > 0 ? `${megabytes(done)} of ${megabytes(total)} MB` : `${megabytes(done)} MB`;
    }
    return total > 0
        ? `${grouped.format(done)} of ${grouped.format(total)} objects`
        : `${grouped.format(done)} objects`;
}

/**
 * @param {Actions} actions
 * @param {{report: (error: unknown) => void}} views
 * @returns {(progress: Progress | null) => void}  shows the work's progress; null hides the bar
 */
export function setUpProgressBar(actions, {report}) {
    const bar = byId('progress-bar');
    const stage = byId('progress-stage');
    const meter = /** @type {HTMLProgressElement} */ (byId('progress-meter'));
    const amount = byId('progress-amount');
    const cancel = /** @type {HTMLButtonElement} */ (byId('progress-cancel'));

    cancel.addEventListener('click', () => {
        cancel.disabled = true;
        actions.cancelWork().catch(report);
    });

    return (progress) => {
        if (progress === null) {
            bar.hidden = true;
            cancel.disabled = false;
            return;
        }
        stage.textContent = progress.stage;
        amount.textContent = progressAmount(progress);
        if (progress.total > 0) {
            meter.max = progress.total;
            meter.value = Math.min(progress.done, progress.total);
        } else {
            meter.removeAttribute('value'); // not known yet: the bar only says that work goes on
        }
        bar.hidden = false;
    };
}
