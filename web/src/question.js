// A question the page itself asks the person before it does something that cannot be undone: a
// modal dialog with the choice and Cancel. The focus starts on Cancel, the safe answer; Esc
// cancels too; afterwards the focus goes back where it was.

import {byId} from './dom.js';

/**
 * Answers whether the person chose `choice`.
 * @param {{title: string, text: string, choice: string}} question
 * @returns {Promise<boolean>}
 */
export function askPerson({title, text, choice}) {
    const dialog = byId('question', HTMLDialogElement);
    byId('question-title').textContent = title;
    byId('question-text').textContent = text;
    byId('question-yes').textContent = choice;
    const focusBefore = document.activeElement;
    dialog.returnValue = '';
    return new Promise((answer) => {
        dialog.addEventListener(
            'close',
            () => {
                if (focusBefore instanceof HTMLElement) focusBefore.focus();
                answer(dialog.returnValue === 'yes');
            },
            {once: true},
        );
        dialog.showModal();
        byId('question-no').focus();
    });
}
