// Live results: keeps the state the program pushes over the WebSocket and shows it.
// Every text from the program goes in as text, never as markup.
"use strict";

(function () {
  const page = document.body.dataset.page;
  const state = { competition: "", judges: 5, couple: null, rows: new Map(), order: [] };
  let socket = null;
  let retryDelay = 500;
  let everConnected = false;

  const byId = (id) => document.getElementById(id);
  const setText = (id, text) => { const e = byId(id); if (e) e.textContent = text || ""; };

  function setRows(rows) {
    state.rows = new Map();
    state.order = [];
    for (const row of rows) {
      state.rows.set(row.number, row);
      state.order.push(row.number);
    }
  }

  function apply(message) {
    if (message.type === "snapshot") {
      const s = message.state;
      state.competition = s.competition;
      state.judges = s.judges;
      state.couple = s.couple;
      setRows(s.rows);
      render(true, true);
      return;
    }
    if (message.type !== "update")
      return;
    let coupleChanged = false;
    let rowsChanged = false;
    if ("competition" in message) { state.competition = message.competition; rowsChanged = true; }
    if ("judges" in message) { state.judges = message.judges; coupleChanged = true; }
    if ("couple" in message) { state.couple = message.couple; coupleChanged = true; }
    if (message.all) {
      setRows(message.rows || []);
      rowsChanged = true;
    } else {
      for (const row of message.rows || []) {
        if (!state.rows.has(row.number))
          state.order.push(row.number);
        state.rows.set(row.number, row);
        rowsChanged = true;
      }
      for (const [number, place] of Object.entries(message.places || {})) {
        const row = state.rows.get(number);
        if (row) {
          row.place = place;
          rowsChanged = true;
        }
      }
      for (const number of message.removed || []) {
        state.rows.delete(number);
        state.order = state.order.filter((n) => n !== number);
        rowsChanged = true;
      }
      if (message.order) { state.order = message.order; rowsChanged = true; }
    }
    render(coupleChanged, rowsChanged);
  }

  function fillMarks(list, couple) {
    list.replaceChildren();
    if (!couple)
      return;
    const struck = new Set(couple.struck || []);
    couple.marks.forEach((mark, i) => {
      const item = document.createElement("li");
      item.className = "mark" + (struck.has(i + 1) ? " struck" : "");
      item.dataset.judge = String(i + 1);
      const judge = document.createElement("span");
      judge.className = "judge";
      judge.textContent = "WR " + (i + 1);
      const value = document.createElement("span");
      value.className = "value";
      value.textContent = mark;
      item.append(judge, value);
      if (struck.has(i + 1))
        item.title = "gestrichen";
      list.append(item);
    });
  }

  function renderResults(coupleChanged, rowsChanged) {
    document.title = state.competition ? state.competition + " – Live-Ergebnisse" : "Live-Ergebnisse";
    setText("competition", state.competition || "Live-Ergebnisse");
    if (coupleChanged) {
      const c = state.couple;
      byId("couple").classList.toggle("empty", !c);
      setText("couple-number", c && c.number);
      setText("couple-name", c && c.name);
      setText("couple-club", c && c.club);
      setText("couple-total", c && c.total);
      setText("couple-place", c && c.place);
      fillMarks(byId("couple-marks"), c);
    }
    if (rowsChanged) {
      const body = byId("places").tBodies[0];
      const lines = [];
      for (const number of state.order) {
        const row = state.rows.get(number);
        if (!row)
          continue;
        const line = document.createElement("tr");
        line.dataset.number = row.number;
        const cell = (text, className) => {
          const td = document.createElement("td");
          if (className) td.className = className;
          td.textContent = text;
          return td;
        };
        const who = document.createElement("td");
        const name = document.createElement("div");
        name.className = "name";
        name.textContent = row.name;
        const club = document.createElement("div");
        club.className = "club";
        club.textContent = row.club;
        who.append(name, club);
        line.append(cell(row.place, "place"), cell(row.number, "number"), who, cell(row.total, "total"));
        lines.push(line);
      }
      body.replaceChildren(...lines);
      byId("places-none").hidden = lines.length > 0;
    }
  }

  function renderOverlay(coupleChanged) {
    if (!coupleChanged)
      return;
    const c = state.couple;
    const third = byId("lower-third");
    if (!c) {
      // Fades out with what it showed; the texts stay until the next couple.
      third.classList.remove("shown");
      return;
    }
    setText("lt-number", c.number);
    setText("lt-name", c.name);
    setText("lt-club", c.club);
    setText("lt-total", c.total);
    setText("lt-place", c.place);
    fillMarks(byId("lt-marks"), c);
    third.classList.add("shown");
  }

  function render(coupleChanged, rowsChanged) {
    if (page === "overlay")
      renderOverlay(coupleChanged);
    else
      renderResults(coupleChanged, rowsChanged);
  }

  function showConnection(connected) {
    document.body.classList.toggle("reconnecting", !connected);
    const text = connected ? "" : (everConnected ? "Verbindung unterbrochen – verbinde neu …" : "Verbinde …");
    setText("connection", text);
  }

  function connect() {
    const scheme = location.protocol === "https:" ? "wss://" : "ws://";
    socket = new WebSocket(scheme + location.host + "/ws");
    socket.binaryType = "arraybuffer";
    const decoder = new TextDecoder("utf-8");
    socket.onopen = () => {
      everConnected = true;
      retryDelay = 500;
      showConnection(true);
    };
    socket.onmessage = (event) => {
      const text = typeof event.data === "string" ? event.data : decoder.decode(event.data);
      try {
        apply(JSON.parse(text));
      } catch (e) {
        console.error("live results:", e);
      }
    };
    socket.onclose = () => {
      socket = null;
      showConnection(false);
      setTimeout(connect, retryDelay);
      retryDelay = Math.min(retryDelay * 2, 5000);
    };
  }

  showConnection(false);
  connect();
})();
