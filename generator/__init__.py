"""Front end of the code generator: reads and checks the Kobl schema and builds its model."""

from .errors import Location, SchemaError, SchemaErrors
from .validator import build_model, load_schema

__all__ = ["Location", "SchemaError", "SchemaErrors", "build_model", "load_schema"]
