"""The model as JSON, in the form that the runtime's `dump --json` prints too.

Keys beyond that common form (documented in schema/README.md): "namespace" at the top;
"expected" per package; "taskTypeName" and "taskTypeNamespace" per version; "inferred" per
type (only when true); "dedup" per property (only when true); "feature" and "flagBytes"
per method.
"""

from __future__ import annotations

import json

from .model import ENUM, MANAGED, Method, Model, Param, Property, Type


def _property(prop: Property) -> dict:
    out = {"name": prop.name, "type": prop.type, "flags": prop.flags, "privilege": prop.privilege,
           "version": prop.version}
    if prop.dedup:
        out["dedup"] = True
    return out


def _param(param: Param) -> dict:
    return {"name": param.name, "type": param.type, "flags": param.flags, "privilege": param.privilege,
            "version": param.version}


def _method(method: Method) -> dict:
    result = None
    if method.result is not None:
        result = {"type": method.result.type, "flags": method.result.flags, "version": method.result.version}
    return {
        "name": method.name,
        "wsdl": method.wsdl,
        "task": method.task,
        "privilege": method.privilege,
        "typePrivileges": None if method.type_privileges is None else [list(p) for p in method.type_privileges],
        "result": result,
        "params": [_param(p) for p in method.params],
        "faults": list(method.faults),
        "version": method.version,
        "feature": method.feature,
        "flagBytes": list(method.flag_bytes),
    }


def _type(t: Type) -> dict:
    out: dict = {"kind": t.kind, "package": t.package, "wsdl": t.wsdl, "version": t.version}
    if t.version_inferred:
        out["inferred"] = True
    if t.kind == ENUM:
        out["values"] = [v.name for v in t.values]
        return out
    out["base"] = t.base
    out["properties"] = [_property(p) for p in t.properties]
    if t.kind == MANAGED:
        out["methods"] = [_method(m) for m in t.methods]
    return out


def to_json_object(model: Model) -> dict:
    ns = model.namespace
    return {
        "namespace": {
            "name": ns.name,
            "dependencies": list(ns.dependencies),
            "products": [{"name": p.name, "releases": list(p.releases)} for p in ns.products],
            "versionSlots": ns.version_slots,
            "counts": list(ns.counts),
        },
        "packages": [{"name": p.name, "order": p.order, "counts": dict(p.counts), "expected": dict(p.expected)}
                     for p in model.packages],
        "versions": [{"name": v.name, "wireNamespace": v.wire_namespace, "versionId": v.version_id,
                      "releaseId": v.release_id, "stage": v.stage, "flags": v.flags,
                      "taskTypeName": v.task_type_name, "taskTypeNamespace": v.task_type_namespace}
                     for v in ns.versions],
        "parents": [[child, parent] for child, parent in ns.parents],
        "types": {name: _type(t) for name, t in model.types.items()},
    }


def to_json(model: Model) -> str:
    """The whole model as JSON text, ending in a newline; the same bytes for the same schema."""
    return json.dumps(to_json_object(model), indent=1, ensure_ascii=False) + "\n"
