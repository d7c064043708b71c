// A question the page itself asks the person before it does something that cannot be undone: a
// modal dialog with the choice and Cancel. The focus starts on Cancel, the safe answer; Esc
// cancels too; afterwards the focus goes back where it was.

export function askPerson({title, text, choice}) {
    const dialog = document.getElementById('question');
    document.getElementById('question-title').textContent = title;
    document.getElementById('question-text').textContent = text;
    document.getElementById('question-yes').textContent = choice;
    const focusBefore = document.activeElement;
    dialog.returnValue = '';
    return new Promise((answer) => {
        dialog.addEventListener('close', () => {
            focusBefore?.focus?.();
            answer(dialog.returnValue === 'yes');
        }, {once: true});
        dialog.showModal();
        document.getElementById('question-no').focus();
    });
}
