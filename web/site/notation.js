// The score as notation, drawn by Verovio one page at a time, and what a click on it picked.
import createVerovioModule from './vendor/verovio-module.mjs';
import { VerovioToolkit } from './vendor/verovio.mjs';
import { measureIndexOf, withMeasureIds } from './score.js';

let toolkitReady;

// One toolkit per view: each holds its own score.
export async function createView() {
    toolkitReady ??= createVerovioModule();
    const toolkit = new VerovioToolkit(await toolkitReady);
    return new NotationView(toolkit);
}

class NotationView {
    constructor(toolkit) {
        this.toolkit = toolkit;
        this.pageCount = 0;
    }

    // Loads MusicXML text laid out for `widthPx` pixels; answers the number of pages.
    load(text, widthPx) {
        const scale = widthPx < 600 ? 30 : 40;
        this.toolkit.setOptions({
            svgAdditionalAttribute: ['measure@n', 'staff@n', 'layer@n'],
            xmlIdSeed: 1,
            scale,
            pageWidth: Math.max(600, Math.round((widthPx * 100) / scale)),
            adjustPageHeight: true,
            breaks: 'auto',
            footer: 'none',
        });
        if (!this.toolkit.loadData(withMeasureIds(text))) throw new Error('Verovio could not read the score');
        this.pageCount = this.toolkit.getPageCount();
        return this.pageCount;
    }

    // Draws page `page` (from 1) into `container`.
    render(container, page) {
        container.innerHTML = this.toolkit.renderToSVG(page);
    }

    // The page holding the measure at `index` in score order, or 0.
    pageOf(index) {
        return this.toolkit.getPageWithElement(`bcm-${index}`);
    }
}

// The measure (index in score order) and staff (through the score) under a click, or null.
export function pickAt(target) {
    const staff = target.closest?.('g.staff');
    const measure = staff?.closest('g.measure');
    const index = measureIndexOf(measure?.id);
    if (index === null || index === undefined) return null;
    return { measure: index, staff: Number(staff.dataset.n) };
}

// Marks, in a drawn page, the staves `staves` of measures first..last with a box of `className`.
export function highlight(container, staves, first, last, className) {
    for (const measure of container.querySelectorAll('g.measure')) {
        const index = measureIndexOf(measure.id);
        if (index === null || index < first || index > last) continue;
        for (const staff of measure.querySelectorAll(':scope > g.staff')) {
            if (!staves.includes(Number(staff.dataset.n))) continue;
            const box = staff.getBBox();
            const rect = document.createElementNS('http://www.w3.org/2000/svg', 'rect');
            for (const [k, v] of Object.entries({ x: box.x, y: box.y, width: box.width, height: box.height }))
                rect.setAttribute(k, v);
            rect.setAttribute('class', className);
            staff.prepend(rect);
        }
    }
}

// Colours the notes of the layers `layers` ([{staff, layer, first, last}]), each in its own
// measures first..last.
export function markRebuilt(container, layers) {
    for (const measure of container.querySelectorAll('g.measure')) {
        const index = measureIndexOf(measure.id);
        if (index === null) continue;
        for (const { staff, layer, first, last } of layers) {
            if (index < first || index > last) continue;
            const layerGroup = measure.querySelector(`:scope > g.staff[data-n="${staff}"] > g.layer[data-n="${layer}"]`);
            layerGroup?.classList.add('rebuilt');
        }
    }
}
