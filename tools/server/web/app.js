// Tivor's web page: the signs, a message composer with the sign's own preview, sending with live progress, the
// stored messages and the schedules, all through the server's API. What the sign would show (its dots, what it
// changes, what it leaves out) comes from the server, so the page and the window never tell two stories.
'use strict';

const $ = (id) => document.getElementById(id);

// The effects as the API takes them by name, and what the editor offers for each: the pause (fixed-width pages),
// or the sign's own clock, which sends no text.
const Effects = [
    {name: 'Rotacion', list: 'Rotacion'},
    {name: 'Estatico', list: 'Estatico', pause: true},
    {name: 'LLuvia', list: 'LLuvia [16]', pause: true},
    {name: 'Enlazado', list: 'Enlazado [16]', pause: true},
    {name: 'Vert Arr', list: 'Vert Arr [16]', pause: true},
    {name: 'Vert Aba', list: 'Vert Aba [16]', pause: true},
    {name: 'Pers Arr', list: 'Pers Arr [16]', pause: true},
    {name: 'Pers Aba', list: 'Pers Aba [16]', pause: true},
    {name: 'Shot', list: 'Shot [16]', pause: true},
    {name: 'Mirilla', list: 'Mirilla [16]', pause: true},
    {name: 'Explosion', list: 'Explosion [16]', pause: true},
    {name: 'Hora', list: 'Hora', clock: ' Hora 00:00:00 '},
    {name: 'Fecha', list: 'Fecha', clock: 'Fecha 12/07/07 '},
];
const MaxPages = 64;
// The desktop preview's colours: a dot off, lit, and lit where the sign gets a character changed.
const DotColors = ['rgb(48,10,8)', 'rgb(255,40,20)', 'rgb(255,176,0)'];
const MatrixColumns = 96, MatrixRows = 7, MarginDots = 1;
const TokenKey = 'tivor-token';
// Typing asks for a preview once the keys pause this long, not once a key.
const PreviewPauseMs = 80;

const state = {
    pages: [],
    signs: [],
    messages: [],
    jobs: new Map(),       // id -> the job as last heard of, for the sends of this page
    heard: new Map(),      // id -> a job event that came before its POST was answered
    watching: new Set(),   // ids of this page's jobs not yet ended
    events: null,          // the WebSocket, while open
    eventsOpen: false,
    preview: null,         // the last preview answer, by page index of the composer
    modified: false,       // the composer has edits not stored
};

// ---- The API ---------------------------------------------------------------------------------------------------

class ApiError extends Error {
    constructor(status, detail) {
        super(detail);
        this.status = status;
    }
}

function token() {
    return sessionStorage.getItem(TokenKey) || '';
}

let tokenAsked = null;

// One prompt for however many requests were refused at once; they all go again with what was typed.
function askToken(reason) {
    if (tokenAsked)
        return tokenAsked;
    const dialog = $('pideToken');
    $('motivoToken').textContent = reason || 'El servidor pide un token.';
    $('token').value = '';
    tokenAsked = new Promise((resolve) => {
        dialog.addEventListener('close', function done() {
            dialog.removeEventListener('close', done);
            const typed = $('token').value.trim();
            if (typed)
                sessionStorage.setItem(TokenKey, typed);
            $('cambiarToken').hidden = !token();
            tokenAsked = null;
            resolve(Boolean(typed));
            if (typed)
                reconnectEvents();
        });
    });
    dialog.showModal();
    return tokenAsked;
}

async function api(method, path, body, wantBlob) {
    const headers = {};
    if (token())
        headers.Authorization = 'Bearer ' + token();
    let payload;
    if (body instanceof ArrayBuffer) {
        headers['Content-Type'] = 'application/octet-stream';
        payload = body;
    } else if (body !== undefined) {
        headers['Content-Type'] = 'application/json';
        payload = JSON.stringify(body);
    }
    let answer;
    try {
        answer = await fetch(path, {method, headers, body: payload, cache: 'no-store'});
    } catch (e) {
        showConnection(false);
        throw new ApiError(0, 'no se pudo hablar con el servidor');
    }
    showConnection(true);
    if (answer.status === 401) {
        const problem = await answer.json().catch(() => ({}));
        if (await askToken(problem.detail))
            return api(method, path, body, wantBlob);
        throw new ApiError(401, problem.detail || 'falta el token');
    }
    if (!answer.ok) {
        const problem = await answer.json().catch(() => ({}));
        throw new ApiError(answer.status, problem.detail || answer.statusText);
    }
    if (wantBlob)
        return answer.blob();
    return answer.status === 204 ? null : answer.json();
}

const enc = encodeURIComponent;

function showConnection(ok) {
    $('conexion').textContent = ok ? 'Conectado' : 'Sin conexion con el servidor';
    $('conexion').classList.toggle('mal', !ok);
}

let sayTimer = 0;

// The status line, as the window's: what was done or what went wrong, for a while.
function say(text, bad) {
    const line = $('estado');
    line.textContent = text;
    line.classList.toggle('mal', Boolean(bad));
    clearTimeout(sayTimer);
    sayTimer = setTimeout(() => {
        line.textContent = '';
    }, bad ? 15000 : 8000);
}

// Every action's failure ends here, in the status line, in the server's own words.
function guarded(action) {
    return async (...args) => {
        try {
            await action(...args);
        } catch (e) {
            say('Error: ' + e.message, true);
        }
    };
}

function element(tag, className, text) {
    const made = document.createElement(tag);
    if (className)
        made.className = className;
    if (text !== undefined)
        made.textContent = text;
    return made;
}

function button(text, action, className) {
    const made = element('button', className, text);
    made.type = 'button';
    made.addEventListener('click', guarded(action));
    return made;
}

// ---- Signs and groups ------------------------------------------------------------------------------------------

function groupsOf(signs) {
    const groups = new Map();
    for (const sign of signs)
        for (const group of sign.groups) {
            if (!groups.has(group))
                groups.set(group, []);
            groups.get(group).push(sign.id);
        }
    return groups;
}

function signName(id) {
    const sign = state.signs.find((s) => s.id === id);
    return sign && sign.name ? sign.name : id;
}

function shownText(shown) {
    if (!shown || !shown.pages || !shown.pages.length)
        return 'No se sabe que muestra.';
    return 'Muestra: ' + shown.pages.map((page) => page.text || page.effect).join(' | ');
}

function signCard(sign) {
    const card = element('li', 'cartel');
    card.id = 'cartel-' + sign.id;
    card.dataset.sign = sign.id;
    const title = element('h3', '', sign.name || sign.id);
    if (sign.name && sign.name !== sign.id)
        title.append(' ', element('span', 'id', '(' + sign.id + ')'));
    card.append(title);
    card.append(element('p', 'muestra', shownText(sign.shown)));
    card.append(element('p', 'disponible', sign.busy ? 'Enviando...' : 'Comprobando el puerto...'));
    card.append(element('p', 'puerto', sign.port + ', ' + sign.baud + ' baudios'));
    if (sign.groups.length)
        card.append(element('p', 'grupos', 'Grupos: ' + sign.groups.join(', ')));
    return card;
}

function showAvailability(detail) {
    const card = $('cartel-' + detail.id);
    if (!card)
        return;
    const line = card.querySelector('.disponible');
    line.textContent = detail.available ? 'Puerto disponible' : 'No disponible: ' + (detail.reason || '');
    line.classList.toggle('ok', Boolean(detail.available));
    line.classList.toggle('mal', !detail.available);
}

function showShown(id, shown) {
    const sign = state.signs.find((s) => s.id === id);
    if (sign)
        sign.shown = shown;
    const card = $('cartel-' + id);
    if (card)
        card.querySelector('.muestra').textContent = shownText(shown);
}

async function loadSigns() {
    const answer = await api('GET', '/api/v1/signs');
    state.signs = answer.signs;
    const list = $('listaCarteles');
    list.replaceChildren(...state.signs.map(signCard));
    $('sinCarteles').hidden = state.signs.length > 0;
    const groups = [...groupsOf(state.signs)];
    $('listaGrupos').replaceChildren(...groups.map(([group, ids]) => {
        const names = ids.map((id) => state.signs.find((s) => s.id === id)).map((s) => s.name || s.id);
        return element('li', '', group + ': ' + names.join(', '));
    }));
    $('tGrupos').hidden = groups.length === 0;
    fillTargets();
    // Each port is tried in its turn by the server; one at a time keeps a slow port from holding the others' lines.
    for (const sign of state.signs) {
        try {
            showAvailability(await api('GET', '/api/v1/signs/' + enc(sign.id)));
        } catch (e) {
            showAvailability({id: sign.id, available: false, reason: e.message});
        }
    }
}

function targetOptions(select, withAll) {
    const kept = select.value;
    const options = [];
    if (withAll && state.signs.length > 1)
        options.push(new Option('Todos los carteles', 'todos'));
    for (const sign of state.signs)
        options.push(new Option(sign.name && sign.name !== sign.id ? sign.name + ' (' + sign.id + ')' : 'Cartel ' + sign.id,
                                's:' + sign.id));
    for (const [group, ids] of groupsOf(state.signs))
        options.push(new Option('Grupo ' + group + ' (' + ids.join(', ') + ')', 'g:' + group));
    select.replaceChildren(...options);
    if ([...select.options].some((o) => o.value === kept))
        select.value = kept;
}

function fillTargets() {
    targetOptions($('destino'), true);
    targetOptions($('hDestino'), true);
}

// ---- The composer ----------------------------------------------------------------------------------------------

function newPage() {
    return {text: '', effect: 'Rotacion', pause: 1, align: 'izquierda'};
}

function effectOf(name) {
    return Effects.find((e) => e.name.toLowerCase() === String(name).toLowerCase()) || Effects[0];
}

function hasText(page) {
    return page.text.length > 0 || Boolean(effectOf(page.effect).clock);
}

// A page as a show takes it: a clock page without its text, which the sign never gets.
function pageBody(page) {
    const body = {effect: page.effect, pause: page.pause, align: page.align};
    if (!effectOf(page.effect).clock)
        body.text = page.text;
    return body;
}

function messageBody() {
    return {pages: state.pages.filter(hasText).map(pageBody)};
}

function pageItem(page, index) {
    const item = $('plantillaPagina').content.firstElementChild.cloneNode(true);
    const id = 'p' + index;
    const number = index + 1;
    item.querySelector('.titulo').textContent = 'Pagina ' + number;
    const text = item.querySelector('.texto');
    text.id = id + '-texto';
    item.querySelector('.texto-l').htmlFor = text.id;
    item.querySelector('.texto-l').textContent = 'Texto de la pagina ' + number;
    const effect = item.querySelector('.efecto');
    effect.id = id + '-efecto';
    item.querySelector('.efecto-l').htmlFor = effect.id;
    for (const e of Effects)
        effect.append(new Option(e.list, e.name));
    const pause = item.querySelector('.pausa');
    pause.id = id + '-pausa';
    item.querySelector('.pausa-l').htmlFor = pause.id;
    for (let p = 1; p <= 9; ++p)
        pause.append(new Option(String(p), String(p)));
    for (const radio of item.querySelectorAll('.alineacion input')) {
        radio.name = id + '-alineacion';
        radio.checked = radio.value === page.align;
        radio.addEventListener('change', () => {
            page.align = radio.value;
            composerChanged();
        });
    }
    const clock = effectOf(page.effect).clock;
    effect.value = effectOf(page.effect).name;
    pause.value = String(page.pause);
    pause.disabled = !effectOf(page.effect).pause;
    text.value = clock || page.text;
    text.disabled = Boolean(clock);
    text.addEventListener('input', () => {
        page.text = text.value;
        composerChanged();
    });
    effect.addEventListener('change', () => {
        page.effect = effect.value;
        if (effectOf(page.effect).clock)
            page.text = '';
        renderPages();
        composerChanged();
        $(id + '-efecto').focus();
    });
    pause.addEventListener('change', () => {
        page.pause = Number(pause.value);
        composerChanged();
    });
    const move = (to) => {
        const [taken] = state.pages.splice(index, 1);
        state.pages.splice(to, 0, taken);
        renderPages();
        composerChanged();
        $('p' + to + '-texto').focus();
    };
    const up = item.querySelector('.subir'), down = item.querySelector('.bajar');
    const remove = item.querySelector('.borrar');
    up.disabled = index === 0;
    down.disabled = index === state.pages.length - 1;
    remove.disabled = state.pages.length === 1;
    up.setAttribute('aria-label', 'Subir la pagina ' + number);
    down.setAttribute('aria-label', 'Bajar la pagina ' + number);
    remove.setAttribute('aria-label', 'Borrar la pagina ' + number);
    up.addEventListener('click', () => move(index - 1));
    down.addEventListener('click', () => move(index + 1));
    remove.addEventListener('click', () => {
        state.pages.splice(index, 1);
        renderPages();
        composerChanged();
        $('p' + Math.min(index, state.pages.length - 1) + '-texto').focus();
    });
    item.querySelector('.matriz').id = id + '-matriz';
    const play = item.querySelector('.ver');
    play.id = id + '-ver';
    play.setAttribute('aria-label', 'Ver el efecto de la pagina ' + number);
    play.addEventListener('click', guarded(() => playEntrance(index)));
    return item;
}

function renderPages() {
    $('paginas').replaceChildren(...state.pages.map(pageItem));
    $('insertarPagina').disabled = state.pages.length >= MaxPages;
    drawPreview();
}

function setMessage(pages) {
    state.pages = pages.length ? pages.map((p) => ({
        text: effectOf(p.effect).clock ? '' : (p.text || ''),
        effect: effectOf(p.effect || 'Rotacion').name,
        pause: p.pause || 1,
        align: p.align || 'izquierda',
    })) : [newPage()];
    renderPages();
    composerChanged(false);
    state.modified = false;
}

// As the window asks before a message with changes is closed: here, before another takes the composer's place.
function mayDiscard() {
    return !state.modified || confirm('Hay cambios Realizados que no se grabaron. Descartarlos?');
}

let previewTimer = 0, previewAsked = 0;

// The pages are busy, for a screen reader and for a test, until the preview of their last edit is drawn.
function composerChanged(edited = true) {
    if (edited)
        state.modified = true;
    // An answer on its way is for pages that are no longer these.
    ++previewAsked;
    $('paginas').setAttribute('aria-busy', 'true');
    clearTimeout(previewTimer);
    previewTimer = setTimeout(guarded(refreshPreview), PreviewPauseMs);
}

// The server's preview of the pages with text; an answer overtaken by a later edit is dropped.
async function refreshPreview() {
    const asked = previewAsked;
    const body = messageBody();
    if (!body.pages.length) {
        state.preview = null;
        drawPreview();
        showWarnings([], '');
        $('paginas').setAttribute('aria-busy', 'false');
        return;
    }
    const target = $('destino').value;
    const query = target.startsWith('s:') ? '?sign=' + enc(target.slice(2)) : '';
    let answer;
    try {
        answer = await api('POST', '/api/v1/preview' + query, body);
    } catch (e) {
        if (asked === previewAsked) {
            showWarnings([e.message], '');
            $('paginas').setAttribute('aria-busy', 'false');
        }
        throw e;
    }
    if (asked !== previewAsked)
        return;
    const byIndex = new Map();
    let at = 0;
    state.pages.forEach((page, index) => {
        if (hasText(page))
            byIndex.set(index, answer.pages[at++]);
    });
    state.preview = byIndex;
    drawPreview();
    const seconds = (answer.ms / 1000).toFixed(1).replace('.', ',');
    showWarnings(answer.warnings, answer.length + ' bytes, unos ' + seconds + ' s de envio');
    $('paginas').setAttribute('aria-busy', 'false');
}

function showWarnings(warnings, length) {
    $('avisos').replaceChildren(...warnings.map((w) => element('p', 'aviso', w)));
    $('largo').textContent = length;
}

function drawPreview() {
    state.pages.forEach((page, index) => {
        const item = $('paginas').children[index];
        if (!item)
            return;
        const shown = state.preview && state.preview.get(index);
        const canvas = item.querySelector('.matriz');
        if (canvas.dataset.playing)
            return;
        drawMatrix(canvas, shown && shown.dots, shown && shown.cut);
        canvas.setAttribute('aria-label', shown ? 'Vista previa: ' + shown.spoken : 'Vista previa: pagina vacia');
        item.querySelector('.nota').textContent = shown ? shown.summary : '';
    });
    // For the browser's performance timeline (and the first-load benchmark): when dots were last drawn.
    performance.mark(state.preview ? 'tivor-puntos' : 'tivor-matriz');
}

// The dots as the window draws them: round where there is room, each in a square cell, a dot's margin around.
function drawMatrix(canvas, dots, cut) {
    const ratio = window.devicePixelRatio || 1;
    const across = MatrixColumns + 2 * MarginDots;
    const pitch = Math.max(2, Math.floor((canvas.clientWidth || 490) * ratio / across));
    canvas.width = across * pitch;
    canvas.height = (MatrixRows + 2 * MarginDots) * pitch;
    const g = canvas.getContext('2d');
    g.fillStyle = '#000';
    g.fillRect(0, 0, canvas.width, canvas.height);
    const round = pitch >= 5, d = pitch * 0.78;
    for (let y = 0; y < MatrixRows; ++y)
        for (let x = 0; x < MatrixColumns; ++x) {
            const value = dots ? Number(dots[y][x]) || 0 : 0;
            g.fillStyle = DotColors[value];
            const left = (x + MarginDots) * pitch, top = (y + MarginDots) * pitch;
            if (round) {
                g.beginPath();
                g.arc(left + pitch / 2, top + pitch / 2, d / 2, 0, 2 * Math.PI);
                g.fill();
            } else {
                g.fillRect(left, top, pitch - 1, pitch - 1);
            }
        }
    if (cut) {
        // There is more text than the sign gets: an amber arrow in the margin past the last column.
        const cx = (MatrixColumns + MarginDots) * pitch + pitch * 0.1, cy = canvas.height / 2;
        const s = Math.max(pitch * 0.9, 5);
        g.fillStyle = DotColors[2];
        g.beginPath();
        g.moveTo(cx, cy - s);
        g.lineTo(cx + s * 0.7, cy);
        g.lineTo(cx, cy + s);
        g.closePath();
        g.fill();
    }
}

// The entrance as the sign plays it, frame by frame from the server, then the page's still image again.
async function playEntrance(index) {
    const page = state.pages[index];
    if (!hasText(page))
        return;
    const answer = await api('POST', '/api/v1/preview?animation=1', {pages: [pageBody(page)]});
    const shown = answer.pages[0];
    const canvas = $('p' + index + '-matriz');
    if (!canvas || !shown.animation)
        return;
    canvas.dataset.playing = 'true';
    for (const frame of shown.animation) {
        drawMatrix(canvas, frame.map(hexRow), false);
        await new Promise((resolve) => setTimeout(resolve, shown.frameMs));
        if (!canvas.isConnected)
            return;
    }
    delete canvas.dataset.playing;
    drawPreview();
}

// A frame's row: 24 hex digits, 4 dots each, the leftmost dot in a digit's highest bit.
function hexRow(row) {
    let dots = '';
    for (const digit of row)
        dots += parseInt(digit, 16).toString(2).padStart(4, '0');
    return dots;
}

// ---- Sending ---------------------------------------------------------------------------------------------------

function targetPaths(target, action) {
    if (target === 'todos')
        return state.signs.map((s) => '/api/v1/signs/' + enc(s.id) + '/' + action);
    const name = enc(target.slice(2));
    return [(target.startsWith('g:') ? '/api/v1/groups/' : '/api/v1/signs/') + name + '/' + action];
}

async function send(action) {
    const target = $('destino').value;
    if (!target)
        throw new ApiError(0, 'no hay carteles');
    const body = action === 'show' ? messageBody() : undefined;
    if (body && !body.pages.length)
        throw new ApiError(0, 'Error #21, No Hay mensaje cargado (ninguna pagina tiene texto)');
    $('progreso').replaceChildren();
    $('anuncio').textContent = '';
    state.jobs.clear();
    state.watching.clear();
    const jobs = await Promise.all(targetPaths(target, action).map((path) => api('POST', path, body)));
    for (const job of jobs) {
        state.watching.add(job.id);
        jobHeard(state.heard.get(job.id) || job);
    }
    say(action === 'show' ? 'Enviando el mensaje...' : 'Enviando la hora y fecha...');
    pollJobs();
}

const StateWords = {queued: 'en espera', sending: 'enviando', done: 'hecho', cancelled: 'cancelado', failed: 'fallido'};

function isEnded(job) {
    return ['done', 'cancelled', 'failed'].includes(job.state);
}

function partLine(part) {
    let text = StateWords[part.state] || part.state;
    if (part.state === 'sending' || part.state === 'done')
        text += ', ' + part.sent + ' de ' + part.total + ' bytes';
    if (part.error)
        text += ': ' + part.error;
    return text;
}

// A job's news, from the WebSocket or a poll: each sign's bar, and its state said once per change.
function jobHeard(job) {
    if (!state.watching.has(job.id)) {
        state.heard.set(job.id, job);
        if (state.heard.size > 50)
            state.heard.delete(state.heard.keys().next().value);
        return;
    }
    const before = state.jobs.get(job.id);
    // A poll and the WebSocket may cross: once a job is heard to have ended, older news of it is stale.
    if (before && isEnded(before))
        return;
    state.jobs.set(job.id, job);
    for (const part of job.signs) {
        const key = 'envio-' + job.id + '-' + part.sign;
        let row = $(key);
        if (!row) {
            row = element('li', 'parte');
            row.id = key;
            const label = element('label', '', signName(part.sign));
            const bar = element('progress');
            bar.id = key + '-barra';
            label.htmlFor = bar.id;
            row.append(label, bar, element('span', 'detalle'));
            $('progreso').append(row);
        }
        const bar = row.querySelector('progress');
        bar.max = Math.max(1, part.total);
        bar.value = part.sent;
        row.querySelector('.detalle').textContent = partLine(part);
        row.dataset.state = part.state;
        const old = before && before.signs.find((p) => p.sign === part.sign);
        if (!old || old.state !== part.state)
            announce(signName(part.sign) + ': ' + partLine(part));
    }
    const ended = isEnded(job);
    if (ended)
        state.watching.delete(job.id);
    const running = [...state.jobs.values()].some((j) => !isEnded(j));
    $('cancelar').hidden = !running;
    if (ended && !running) {
        const states = [...state.jobs.values()].map((j) => j.state);
        say(states.every((s) => s === 'done') ? 'Envio terminado.'
                                               : 'Envio terminado: ' + states.map((s) => StateWords[s]).join(', ') + '.',
            states.some((s) => s === 'failed'));
        if (!state.eventsOpen)
            guarded(loadSigns)();
    }
}

function announce(text) {
    const line = $('anuncio');
    line.textContent = line.textContent ? line.textContent + '. ' + text : text;
}

let polling = false;

// Without the WebSocket the page asks for its jobs itself, as often as a bar can move visibly; one loop at a time.
async function pollJobs() {
    if (polling)
        return;
    polling = true;
    try {
        await pollWhileNeeded();
    } finally {
        polling = false;
    }
}

async function pollWhileNeeded() {
    while (state.watching.size && !state.eventsOpen) {
        await new Promise((resolve) => setTimeout(resolve, 250));
        for (const id of [...state.watching])
            try {
                jobHeard(await api('GET', '/api/v1/jobs/' + id));
            } catch (e) {
                state.watching.delete(id);
                say('Error: ' + e.message, true);
            }
    }
}

async function cancel() {
    const running = [...state.jobs.values()].filter((j) => !isEnded(j));
    say('Cancelando...');
    const answers = await Promise.all(running.map((j) => api('DELETE', '/api/v1/jobs/' + j.id).catch((e) => e)));
    for (const answer of answers)
        if (answer && answer.id)
            jobHeard(answer);
}

function reconnectEvents() {
    if (state.events)
        state.events.close();
    else
        connectEvents();
}

let eventsWait = 500;

// The server's news as they happen: jobs as they move, and what each sign is believed to show once a send ends.
function connectEvents() {
    const scheme = location.protocol === 'https:' ? 'wss://' : 'ws://';
    let socket;
    try {
        socket = new WebSocket(scheme + location.host + '/api/v1/events');
    } catch (e) {
        // A browser that refuses WebSockets here: the page asks for its jobs instead.
        return;
    }
    state.events = socket;
    // With tokens the first word is ours (a browser cannot put a header on the request); the server says "ready"
    // once it listens to us, and until then the page asks for its jobs itself.
    socket.addEventListener('open', () => {
        if (token())
            socket.send(JSON.stringify({token: token()}));
    });
    socket.addEventListener('message', (event) => {
        let news;
        try {
            news = JSON.parse(event.data);
        } catch (e) {
            return;
        }
        if (news.type === 'ready') {
            state.eventsOpen = true;
            eventsWait = 500;
        } else if (news.type === 'job' && news.job)
            jobHeard(news.job);
        else if (news.type === 'shown')
            showShown(news.sign, news.shown);
    });
    socket.addEventListener('close', (event) => {
        state.events = null;
        state.eventsOpen = false;
        pollJobs();
        if (event.code === 1008 && !tokenAsked) {
            askToken('El servidor no acepto el token para las novedades.');
            return;
        }
        setTimeout(connectEvents, eventsWait);
        eventsWait = Math.min(eventsWait * 2, 30000);
    });
}

// ---- Stored messages -------------------------------------------------------------------------------------------

function sizeText(bytes) {
    return bytes < 1024 ? bytes + ' bytes' : (bytes / 1024).toFixed(1).replace('.', ',') + ' KB';
}

function messageItem(stored) {
    const item = element('li', 'guardado');
    item.dataset.name = stored.name;
    const about = element('div', 'sobre');
    about.append(element('strong', '', stored.name),
                 element('span', 'fecha', sizeText(stored.size) + ', ' + new Date(stored.modified).toLocaleString('es')));
    const actions = element('div', 'acciones');
    const open = button('Abrir', () => openMessage(stored.name));
    const download = button('Descargar', () => downloadMessage(stored.name));
    const remove = button('Borrar', () => deleteMessage(stored.name), 'peligro');
    open.setAttribute('aria-label', 'Abrir ' + stored.name);
    download.setAttribute('aria-label', 'Descargar ' + stored.name + '.mnm');
    remove.setAttribute('aria-label', 'Borrar ' + stored.name);
    actions.append(open, download, remove);
    item.append(about, actions);
    return item;
}

async function loadMessages() {
    state.messages = (await api('GET', '/api/v1/messages')).messages;
    $('listaMensajes').replaceChildren(...state.messages.map(messageItem));
    $('sinMensajes').hidden = state.messages.length > 0;
    const stored = $('hGuardado'), kept = stored.value;
    stored.replaceChildren(...state.messages.map((m) => new Option(m.name, m.name)));
    if (kept)
        stored.value = kept;
}

async function openMessage(name) {
    if (!mayDiscard())
        return;
    const stored = await api('GET', '/api/v1/messages/' + enc(name));
    setMessage(stored.pages);
    $('nombre').value = name;
    say('Mensaje ' + name + ' abierto' + (stored.warning ? ': ' + stored.warning : '.'));
    $('p0-texto').focus();
}

async function saveMessage(event) {
    event.preventDefault();
    const name = $('nombre').value.trim();
    const body = messageBody();
    if (!body.pages.length)
        throw new ApiError(0, 'Error #21, No Hay mensaje cargado (ninguna pagina tiene texto)');
    const stored = await api('PUT', '/api/v1/messages/' + enc(name), body);
    state.modified = false;
    say('Mensaje ' + name + ' grabado' + (stored.warning ? ': ' + stored.warning : '.'), Boolean(stored.warning));
    await loadMessages();
}

async function deleteMessage(name) {
    if (!confirm('Borrar el mensaje ' + name + '?'))
        return;
    await api('DELETE', '/api/v1/messages/' + enc(name));
    say('Mensaje ' + name + ' borrado.');
    await loadMessages();
}

// The file comes through the API with the token, then goes to the browser's downloads as a file of its own.
async function downloadMessage(name) {
    const file = await api('GET', '/api/v1/messages/' + enc(name) + '?format=mnm', undefined, true);
    const link = element('a');
    link.href = URL.createObjectURL(file);
    link.download = name + '.mnm';
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
}

async function uploadMessage() {
    const input = $('archivo');
    const file = input.files[0];
    if (!file)
        return;
    const name = file.name.replace(/\.mnm$/i, '');
    try {
        const stored = await api('PUT', '/api/v1/messages/' + enc(name), await file.arrayBuffer());
        say('Archivo ' + file.name + ' subido como ' + stored.name + '.');
    } finally {
        input.value = '';
    }
    await loadMessages();
}

// ---- Schedules -------------------------------------------------------------------------------------------------

function scheduleTargets(schedule) {
    const names = schedule.signs.map((s) => 'cartel ' + s).concat(schedule.groups.map((g) => 'grupo ' + g));
    return names.join(', ');
}

function scheduleWhat(schedule) {
    if (schedule.action === 'clock')
        return 'pone la hora y fecha';
    const body = schedule.body || {};
    if (body.message)
        return 'envia el mensaje guardado ' + body.message;
    const pages = body.pages || [body];
    return 'envia "' + pages.map((p) => p.text || p.effect).join(' | ') + '"';
}

async function scheduleItem(schedule) {
    const item = element('li', 'horario-item');
    item.dataset.schedule = schedule.id;
    const about = element('div', 'sobre');
    about.append(element('strong', '', schedule.id),
                 element('span', 'palabras', schedule.words),
                 element('span', 'que', scheduleWhat(schedule) + ' a ' + scheduleTargets(schedule) +
                         (schedule.enabled ? '' : ' (desactivado)')));
    const runs = element('ul', 'proximas');
    runs.setAttribute('aria-label', 'Proximas veces de ' + schedule.id);
    try {
        const next = await api('GET', '/api/v1/schedules/' + enc(schedule.id) + '/next?n=3');
        // Each run in the server's words, in the schedule's zone.
        const words = next.nextWords || next.next;
        words.forEach((run) => runs.append(element('li', '', run)));
        if (!words.length)
            runs.append(element('li', '', 'No vuelve a hacerse.'));
    } catch (e) {
        runs.append(element('li', 'mal', e.message));
    }
    const title = element('span', 'rotulo', 'Proximas veces');
    about.append(title, runs);
    const remove = button('Borrar', () => deleteSchedule(schedule.id), 'peligro');
    remove.setAttribute('aria-label', 'Borrar el horario ' + schedule.id);
    item.append(about, element('div', 'acciones'));
    item.lastChild.append(remove);
    return item;
}

async function loadSchedules() {
    const schedules = (await api('GET', '/api/v1/schedules')).schedules;
    const items = await Promise.all(schedules.map(scheduleItem));
    $('listaHorarios').replaceChildren(...items);
    $('sinHorarios').hidden = schedules.length > 0;
}

async function createSchedule(event) {
    event.preventDefault();
    const id = $('hId').value.trim();
    const definition = {};
    if ($('hCuando').value === 'cron')
        definition.cron = $('hCron').value.trim();
    else
        definition.at = $('hAt').value.length === 16 ? $('hAt').value + ':00' : $('hAt').value;
    const action = $('hAccion').value;
    definition.action = action === 'clock' ? 'clock' : 'show';
    if (action === 'show') {
        definition.body = messageBody();
        if (!definition.body.pages.length)
            throw new ApiError(0, 'el mensaje de arriba no tiene texto');
    } else if (action === 'stored') {
        if (!$('hGuardado').value)
            throw new ApiError(0, 'no hay mensajes guardados');
        definition.body = {message: $('hGuardado').value};
    }
    const target = $('hDestino').value;
    if (target === 'todos')
        definition.signs = state.signs.map((s) => s.id);
    else if (target.startsWith('g:'))
        definition.groups = [target.slice(2)];
    else
        definition.signs = [target.slice(2)];
    const made = await api('PUT', '/api/v1/schedules/' + enc(id), definition);
    say('Horario ' + id + ' guardado: ' + made.words + '.');
    await loadSchedules();
}

async function deleteSchedule(id) {
    if (!confirm('Borrar el horario ' + id + '?'))
        return;
    await api('DELETE', '/api/v1/schedules/' + enc(id));
    say('Horario ' + id + ' borrado.');
    await loadSchedules();
}

function scheduleFormChanged() {
    $('hCronCampo').hidden = $('hCuando').value !== 'cron';
    $('hAtCampo').hidden = $('hCuando').value !== 'at';
    $('hGuardadoCampo').hidden = $('hAccion').value !== 'stored';
}

// ---- Start -----------------------------------------------------------------------------------------------------

function start() {
    const spoken = element('p', 'solo-lector');
    spoken.id = 'anuncio';
    spoken.setAttribute('role', 'status');
    spoken.setAttribute('aria-live', 'polite');
    $('envio').append(spoken);
    $('insertarPagina').addEventListener('click', () => {
        state.pages.push(newPage());
        renderPages();
        $('p' + (state.pages.length - 1) + '-texto').focus();
    });
    $('nuevoMensaje').addEventListener('click', () => {
        if (!mayDiscard())
            return;
        setMessage([]);
        $('nombre').value = '';
        $('p0-texto').focus();
    });
    $('destino').addEventListener('change', () => composerChanged(false));
    $('enviar').addEventListener('click', guarded(() => send('show')));
    $('enviarHora').addEventListener('click', guarded(() => send('clock')));
    $('cancelar').addEventListener('click', guarded(cancel));
    $('grabar').addEventListener('submit', guarded(saveMessage));
    $('archivo').addEventListener('change', guarded(uploadMessage));
    $('nuevoHorario').addEventListener('submit', guarded(createSchedule));
    $('hCuando').addEventListener('change', scheduleFormChanged);
    $('hAccion').addEventListener('change', scheduleFormChanged);
    $('cambiarToken').hidden = !token();
    $('cambiarToken').addEventListener('click', () => askToken('Escriba otro token.'));
    $('pideToken').addEventListener('cancel', (event) => event.preventDefault());
    new ResizeObserver(() => drawPreview()).observe($('paginas'));
    setMessage([]);
    connectEvents();
    guarded(async () => {
        await loadSigns();
        await Promise.all([loadMessages(), loadSchedules()]);
    })();
}

document.addEventListener('DOMContentLoaded', start);
